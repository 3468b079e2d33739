#include "platform/win32/xml_parser_stream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace platform::win32 {
namespace {

class ByteStream final : public ISequentialStream {
 public:
  explicit ByteStream(std::string_view bytes) : bytes_(bytes) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream)) {
      *out = static_cast<ISequentialStream*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG wanted, ULONG* read) override {
    if (!buffer) return STG_E_INVALIDPOINTER;
    const size_t count = std::min<size_t>(wanted, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    if (read) *read = static_cast<ULONG>(count);
    return count == wanted ? S_OK : S_FALSE;  // S_FALSE: the end was reached
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG* written) override {
    if (written) *written = 0;
    return STG_E_ACCESSDENIED;
  }

 private:
  std::string_view bytes_;
  size_t position_ = 0;
  LONG references_ = 1;
};

}  // namespace

ISequentialStream* NewByteStream(std::string_view bytes) { return new (std::nothrow) ByteStream(bytes); }

}  // namespace platform::win32

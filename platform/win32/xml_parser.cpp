// platform/xml_parser.h on XmlLite.
#include "platform/win32/xml_parser.h"

#include <windows.h>
#include <objidl.h>
#include <xmllite.h>

#include <cwchar>

#include "platform/win32/xml_parser_stream.h"
#include "platform/win32/system_library.h"

namespace platform::win32 {
namespace {

using CreateXmlReaderFn = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// MinGW ships no import library for xmllite.dll.
CreateXmlReaderFn LoadCreateXmlReader() {
  static CreateXmlReaderFn create = [] {
    HMODULE module = LoadSystemLibrary(L"xmllite.dll");
    return module ? reinterpret_cast<CreateXmlReaderFn>(reinterpret_cast<void*>(GetProcAddress(module, "CreateXmlReader")))
                  : nullptr;
  }();
  return create;
}

const IID kIID_IXmlReader = {0x7279fc81, 0x709d, 0x4095, {0xb6, 0x3d, 0x69, 0xfe, 0x4b, 0x0d, 0x90, 0x30}};

template <class T>
class ComPtr {
 public:
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// Ours: the reader has no node limit of its own.
constexpr HRESULT kTooManyNodes = static_cast<HRESULT>(0xC00CEF01L);

std::wstring ErrorReason(HRESULT hr) {
  switch (static_cast<unsigned long>(hr)) {
    case WC_E_DTDPROHIBITED: return L"A document type declaration is not allowed (DTD is prohibited)";
    case SC_E_MAXELEMENTDEPTH: return L"The document is nested too deeply";
    case static_cast<unsigned long>(kTooManyNodes): return L"The document has too many nodes";
    case SC_E_MAXENTITYEXPANSION: return L"Entity expansion exceeds the limit";
    case MX_E_INPUTEND: return L"Unexpected end of input";
    case MX_E_ENCODING: return L"Unrecognised input signature or encoding";
    case WC_E_ELEMENTMATCH: return L"End tag does not match the start tag";
    case WC_E_UNDECLAREDENTITY: return L"Reference to an undeclared entity";
    case NC_E_UNDECLAREDPREFIX: return L"Undeclared namespace prefix";
    case WC_E_ROOTELEMENT: return L"Missing or repeated root element";
    default: break;
  }
  wchar_t buffer[64];
  std::swprintf(buffer, 64, L"XML error 0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

std::wstring Text(const wchar_t* s, UINT length) { return s ? std::wstring(s, length) : std::wstring(); }

class Reading {
 public:
  Reading(IXmlReader* reader, XmlEventSink& sink, const XmlParseLimits& limits)
      : reader_(reader), sink_(sink), max_depth_(static_cast<int>(limits.max_element_depth)),
        max_nodes_(limits.max_nodes) {}

  HRESULT Run() {
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader_->Read(&type)) == S_OK) {
      hr = Node(type);
      if (FAILED(hr)) return hr;
    }
    if (FAILED(hr)) return hr;
    if (!seen_root_ || depth_ != 0) return MX_E_INPUTEND;
    return S_OK;
  }

 private:
  // A run of text counts once, however many pieces the reader makes of it.
  bool Count(size_t count, bool text) {
    if (text && in_text_) return true;
    in_text_ = text;
    nodes_ += count;
    return nodes_ <= max_nodes_;
  }

  HRESULT Node(XmlNodeType type) {
    const wchar_t* value = nullptr;
    UINT length = 0;
    const bool text = type == XmlNodeType_Text || type == XmlNodeType_Whitespace;
    if ((text || type == XmlNodeType_CDATA || type == XmlNodeType_Comment ||
         type == XmlNodeType_ProcessingInstruction) && !Count(1, text))
      return kTooManyNodes;
    if (!text) in_text_ = false;
    switch (type) {
      case XmlNodeType_Element: return Element();
      case XmlNodeType_EndElement:
        --depth_;
        sink_.end_element();
        return S_OK;
      case XmlNodeType_Text:
      case XmlNodeType_Whitespace:
        if (depth_ > 0 && SUCCEEDED(reader_->GetValue(&value, &length))) sink_.text(Text(value, length));
        return S_OK;
      case XmlNodeType_CDATA:
        if (SUCCEEDED(reader_->GetValue(&value, &length))) sink_.cdata(Text(value, length));
        return S_OK;
      case XmlNodeType_Comment:
        if (SUCCEEDED(reader_->GetValue(&value, &length))) sink_.comment(Text(value, length));
        return S_OK;
      case XmlNodeType_ProcessingInstruction: {
        const wchar_t* target = nullptr;
        UINT target_length = 0;
        reader_->GetLocalName(&target, &target_length);
        std::wstring name = Text(target, target_length);
        reader_->GetValue(&value, &length);
        sink_.processing_instruction(name, Text(value, length));
        return S_OK;
      }
      case XmlNodeType_DocumentType: return WC_E_DTDPROHIBITED;
      default: return S_OK;
    }
  }

  HRESULT Element() {
    const wchar_t* s = nullptr;
    UINT length = 0;
    HRESULT hr = reader_->GetQualifiedName(&s, &length);
    if (FAILED(hr)) return hr;
    std::wstring name = Text(s, length);
    if (FAILED(hr = reader_->GetNamespaceUri(&s, &length))) return hr;
    std::wstring uri = Text(s, length);
    if (uri.empty() && Prefixed(name)) return NC_E_UNDECLAREDPREFIX;
    if (++depth_ > max_depth_) return SC_E_MAXELEMENTDEPTH;
    const bool empty = reader_->IsEmptyElement();
    if (!Count(1, false)) return kTooManyNodes;
    std::vector<XmlAttributeEvent> declarations, others;
    for (hr = reader_->MoveToFirstAttribute(); hr == S_OK; hr = reader_->MoveToNextAttribute()) {
      if (!Count(1, false)) return kTooManyNodes;
      XmlAttributeEvent a;
      if (SUCCEEDED(reader_->GetQualifiedName(&s, &length))) a.name = Text(s, length);
      if (SUCCEEDED(reader_->GetNamespaceUri(&s, &length))) a.namespace_uri = Text(s, length);
      if (SUCCEEDED(reader_->GetValue(&s, &length))) a.value = Text(s, length);
      const bool declaration = a.name == L"xmlns" || a.name.rfind(L"xmlns:", 0) == 0;
      if (declaration) a.namespace_uri = kXmlnsNamespace;
      else if (a.namespace_uri.empty() && Prefixed(a.name)) return NC_E_UNDECLAREDPREFIX;
      (declaration ? declarations : others).push_back(std::move(a));
    }
    if (FAILED(hr)) return hr;
    reader_->MoveToElement();
    declarations.insert(declarations.end(), others.begin(), others.end());
    seen_root_ = true;
    sink_.start_element(name, uri, declarations);
    if (empty) {
      --depth_;
      sink_.end_element();
    }
    return S_OK;
  }

  // Wine's reader lets an undeclared prefix through; Windows does not.
  static bool Prefixed(const std::wstring& name) {
    size_t colon = name.find(L':');
    return colon != std::wstring::npos && name.compare(0, colon, L"xml") != 0;
  }

  IXmlReader* reader_;
  XmlEventSink& sink_;
  int max_depth_;
  size_t max_nodes_;
  size_t nodes_ = 0;
  bool in_text_ = false;
  bool seen_root_ = false;
  int depth_ = 0;
};

}  // namespace

XmlParseStatus XmlLiteParser::parse(std::string_view bytes, const XmlParseLimits& limits, XmlEventSink& sink) {
  CreateXmlReaderFn create = LoadCreateXmlReader();
  if (!create) return XmlParseFailure{XmlParseFailure::Kind::unavailable, L"", 0};
  ComPtr<IXmlReader> reader;
  if (FAILED(create(kIID_IXmlReader, reinterpret_cast<void**>(reader.out()), nullptr)))
    return XmlParseFailure{XmlParseFailure::Kind::unavailable, L"", 0};
  reader->SetProperty(XmlReaderProperty_DtdProcessing, DtdProcessing_Prohibit);
  // Our own count enforces the limit; the reader's, one deeper, backs it up.
  reader->SetProperty(XmlReaderProperty_MaxElementDepth, limits.max_element_depth + 1);
  reader->SetProperty(XmlReaderProperty_XmlResolver, 0);

  ISequentialStream* raw = NewByteStream(bytes);
  if (!raw) return XmlParseFailure{XmlParseFailure::Kind::unavailable, L"", 0};
  HRESULT hr = reader->SetInput(raw);
  raw->Release();
  if (SUCCEEDED(hr)) hr = Reading(reader.get(), sink, limits).Run();
  if (SUCCEEDED(hr)) return XmlParseStatus::Ok();
  UINT line = 0;
  reader->GetLineNumber(&line);
  return XmlParseFailure{XmlParseFailure::Kind::syntax, ErrorReason(hr), static_cast<int>(line)};
}

}  // namespace platform::win32

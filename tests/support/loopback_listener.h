#pragma once
// A TCP listener on 127.0.0.1 that only counts who connects to it.
namespace testing_support {

class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  int port() const { return port_; }
  // Accepts whatever connected so far, waiting up to wait_ms for a first one.
  int Connections(int wait_ms);

 private:
  int port_ = 0;  // set while socket_ is opened, so declared first
  long long socket_ = -1;
  int connections_ = 0;
};

}  // namespace testing_support

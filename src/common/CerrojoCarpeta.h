#pragma once
// One run at a time per program folder: a run holds an exclusive lock
// (flock) on a file of its "Log" folder for its whole length, so two runs
// never interleave their log or result files. The system drops the lock when
// the holder ends, however it ends.
#include <string>

namespace varlo {

class CerrojoCarpeta {
 public:
  // Opens (creating it) `archivo` and takes the lock without waiting. An
  // error of the system (no folder, no permission) raises the program's error.
  explicit CerrojoCarpeta(const std::string& archivo);
  ~CerrojoCarpeta();
  CerrojoCarpeta(const CerrojoCarpeta&) = delete;
  CerrojoCarpeta& operator=(const CerrojoCarpeta&) = delete;

  // False when another run holds it.
  bool Tomado() const { return tomado_; }

 private:
  int fd_ = -1;
  bool tomado_ = false;
};

}  // namespace varlo

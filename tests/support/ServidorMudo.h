#pragma once
// A loopback port that takes connections into its backlog and never says a
// word: what a login wait must end from the client side.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace varlo::prueba {

class ServidorMudo {
 public:
  ServidorMudo() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in dir{};
    dir.sin_family = AF_INET;
    dir.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t largo = sizeof dir;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&dir), sizeof dir) == 0 &&
        ::listen(fd_, 8) == 0 && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&dir), &largo) == 0)
      puerto_ = ntohs(dir.sin_port);
  }
  ~ServidorMudo() {
    if (fd_ >= 0) ::close(fd_);
  }
  ServidorMudo(const ServidorMudo&) = delete;
  ServidorMudo& operator=(const ServidorMudo&) = delete;

  bool Escucha() const { return puerto_ != 0; }
  std::string Puerto() const { return std::to_string(puerto_); }

 private:
  int fd_;
  int puerto_ = 0;
};

}  // namespace varlo::prueba

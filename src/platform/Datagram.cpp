#include "platform/Datagram.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

bool Datagram::sendBroadcast(quint32 address, quint16 port, QByteArrayView bytes)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool sent = false;
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = address;
        sent = ::sendto(fd, bytes.data(), size_t(bytes.size()), 0, reinterpret_cast<const sockaddr *>(&to), sizeof to)
            == bytes.size();
    }
    ::close(fd);
    return sent;
}

// What both ends of a worker's socket use to send and read (see PdfWorkerSocket.h).

#include "Platform/PdfHelper/PdfWorkerSocket.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace Platform {

namespace PdfWorkerSocket {

bool readSmallFile(const char* path, char* into, std::size_t size)
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0 || size == 0) return false;
    ssize_t n;
    do n = read(fd, into, size - 1);
    while (n < 0 && errno == EINTR);
    close(fd);
    if (n <= 0) return false;
    into[n] = '\0';
    return true;
}

bool sendWhole(int socket, const std::uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = send(socket, data + done, size - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool sendWithFd(int socket, const Bytes& data, int fd)
{
    OneFdMessage message(const_cast<std::uint8_t*>(data.data()), data.size()); // only read by sendmsg
    cmsghdr* fdPart = CMSG_FIRSTHDR(&message.header);
    fdPart->cmsg_level = SOL_SOCKET;
    fdPart->cmsg_type = SCM_RIGHTS;
    fdPart->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(fdPart), &fd, sizeof(int));
    ssize_t sent;
    do sent = sendmsg(socket, &message.header, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(data.size());
}

OneFdMessage::OneFdMessage(void* data, std::size_t size) : part{data, size}
{
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
}

} // namespace PdfWorkerSocket

} // namespace Platform

#pragma once
// The BSD socket calls and address types, from each system's own headers
// (their names are the same on both; the fault sockets share the code that
// uses only them).

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace clipdeck::service {
#ifdef _WIN32
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif
}  // namespace clipdeck::service

#pragma once

#include <cstdint>

// Who is at the other end of a loopback TCP connection this process made.
class LocalPeer
{
public:
    // The user id owning the socket that serves the connection from clientPort to servicePort
    // on the loopback address; -1 where the system does not tell (Windows: see the README).
    static long owner(std::uint16_t servicePort, std::uint16_t clientPort);
    // True for a peer of this user's or the system's (root), or one the system tells nothing of.
    static bool trusted(std::uint16_t servicePort, std::uint16_t clientPort);
};

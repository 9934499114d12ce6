#include "../localpeer.h"

#include <cstdio>
#include <initializer_list>
#include <unistd.h>

// /proc/net/tcp and tcp6: "sl local_address rem_address st ... uid ...", addresses as hex
// "ADDR:PORT". The service's end of the connection has the service's port as its local one and
// the client's as its remote one (the client's own end the other way round).
long LocalPeer::owner(std::uint16_t servicePort, std::uint16_t clientPort)
{
    for (const char *table : { "/proc/net/tcp", "/proc/net/tcp6" }) {
        FILE *file = std::fopen(table, "re");
        if (!file)
            continue;
        char line[512];
        long found = -1;
        // The header line does not scan.
        while (found < 0 && std::fgets(line, sizeof line, file)) {
            char local[64], remote[64];
            unsigned state = 0, localPort = 0, remotePort = 0;
            unsigned long queues[2], timer[2], retransmits = 0, uid = 0;
            if (std::sscanf(line,
                            " %*u: %63[0-9A-Fa-f]:%x %63[0-9A-Fa-f]:%x %x %lx:%lx %lx:%lx %lx %lu",
                            local, &localPort, remote, &remotePort, &state, &queues[0], &queues[1],
                            &timer[0], &timer[1], &retransmits, &uid)
                    == 11
                && localPort == servicePort && remotePort == clientPort)
                found = long(uid);
        }
        std::fclose(file);
        if (found >= 0)
            return found;
    }
    return -1;
}

bool LocalPeer::trusted(std::uint16_t servicePort, std::uint16_t clientPort)
{
    const long uid = owner(servicePort, clientPort);
    return uid < 0 || uid == 0 || uid == long(getuid());
}

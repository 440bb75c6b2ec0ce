#include "rtc/PeerPath.h"

namespace rtc {

std::string PathText(const PeerPath& path)
{
    std::string text = AddressText(path.remote);
    if (path.nRelay != 0)
        text += " via relay " + std::to_string(path.nRelay);
    return text;
}

} // namespace rtc

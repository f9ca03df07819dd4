#pragma once

#include <stdexcept>

namespace velmora {

// A failure of the transport. what() is the text the user sees ("Socket Error : 98", ...).
class UdpError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace velmora

#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// A failure of the transport. what() is the text the user sees ("Socket Error : 98", ...);
// code() is the system's error number behind it, 0 when there is none.
class UdpError : public std::runtime_error {
public:
    explicit UdpError(const std::string& text, int code = 0)
        : std::runtime_error(text), code_(code) {}
    int code() const { return code_; }

private:
    int code_;
};

} // namespace velmora

#pragma once

#include <stdexcept>
#include <string>

// A stream-output chain the recorder cannot carry out; what() is the French text shown to the user.
class SoutChainError : public std::runtime_error {
public:
    explicit SoutChainError(const std::string &message) : std::runtime_error(message) {}
};

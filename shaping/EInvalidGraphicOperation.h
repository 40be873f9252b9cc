#pragma once

#include <stdexcept>

// An operation the picture's kind does not allow, such as reading a pixel of an animation.
class EInvalidGraphicOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

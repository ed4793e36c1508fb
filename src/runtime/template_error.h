// The error every decoder of the stored window template reports: where the bytes went wrong
// and what was wrong with them. Kept apart so that the template decoder, the block decoders
// and the byte reader they share can all name it without including each other.
#pragma once

#include <cstddef>
#include <string>

namespace wavlon::runtime {

struct TemplateError {
    std::size_t offset = 0;  // byte offset in the template where decoding failed
    std::string what;        // short English description, for logs and tests
};

}  // namespace wavlon::runtime

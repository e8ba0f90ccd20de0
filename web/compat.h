// compat.h: forced in front of every source of the browser build. This emscripten's C++ library (LLVM 14) has no
// std::bit_cast; the compiler's builtin does the same. Depends on nothing of the game.
#pragma once

#ifdef __cplusplus
#include <version>
#if !defined(__cpp_lib_bit_cast)
namespace std {
template <class To, class From>
constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif
#endif

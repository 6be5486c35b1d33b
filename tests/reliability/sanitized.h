// Whether the tests are built with the address sanitizer, which makes
// memory moves many times slower and adds its own shadow memory.
#pragma once

namespace veldran::testing {
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
} // namespace veldran::testing

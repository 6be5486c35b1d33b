// Whether the tests are built with the address sanitizer, which makes
// memory moves many times slower and adds its own shadow memory.
#pragma once

namespace veldran::testing {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

} // namespace veldran::testing

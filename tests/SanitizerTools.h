#pragma once

/** What the program was built with, for the few tests that measure something a sanitizer
    changes (the heap, the address space); they run in the normal build. */
namespace SanitizerTools
{
   #if defined (__SANITIZE_ADDRESS__)
    inline constexpr bool addressSanitizer = true;
   #elif defined (__has_feature)
    #if __has_feature (address_sanitizer)
     inline constexpr bool addressSanitizer = true;
    #else
     inline constexpr bool addressSanitizer = false;
    #endif
   #else
    inline constexpr bool addressSanitizer = false;
   #endif
}

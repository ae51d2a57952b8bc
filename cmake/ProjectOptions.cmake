# SPDX-FileCopyrightText: 2026 Tessaly
# SPDX-License-Identifier: GPL-3.0-or-later
# Toolchain policy shared by every target: warnings, warnings-as-errors in CI,
# and an optional AddressSanitizer + UndefinedBehaviorSanitizer build.
option(INKVEIL_WERROR "Treat compiler warnings as errors" OFF)
option(INKVEIL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

add_library(inkveil_options INTERFACE)
target_compile_features(inkveil_options INTERFACE cxx_std_20)
target_compile_options(inkveil_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
target_compile_definitions(inkveil_options INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)

# Production code spells out every conversion between bytes and text; tests may use plain
# string literals in their data tables.
add_library(inkveil_strict_strings INTERFACE)
target_compile_definitions(inkveil_strict_strings INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII)

if(INKVEIL_WERROR)
    target_compile_options(inkveil_options INTERFACE -Werror)
endif()

if(INKVEIL_SANITIZE)
    target_compile_options(inkveil_options INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(inkveil_options INTERFACE -fsanitize=address,undefined)
endif()

#!/bin/sh
# Fails, naming the lines, when a C++ file of the project differs from what
# clang-format makes of it with the project's .clang-format (PAPPL's patched
# sources under third_party/ are PAPPL's own style).
set -eu
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | grep -v '^third_party/' | xargs clang-format --dry-run --Werror

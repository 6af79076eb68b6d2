#pragma once
// What every test file starts with: the test framework, private temporary
// folders, real child processes and their environment, and the literals for
// paths and times.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "helfer/kindprozess.h"
#include "helfer/temp_ordner.h"

namespace tw {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
}  // namespace tw

// Planted: the core including a library of neither the system nor the project.
#include <gtest/gtest.h>

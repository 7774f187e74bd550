#include "platform/profile.h"

#include <gtest/gtest.h>

TEST(Profile, Placeholder) {}

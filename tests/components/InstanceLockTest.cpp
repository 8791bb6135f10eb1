#include "components/utils/InstanceLock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "tests/support/TempDir.h"

namespace tkw {
namespace {

TEST(InstanceLock, OneHolderAtATimeAndReleasedWhenTheHolderEnds) {
    test::TempDir temp;
    const auto file = temp / "mutex_for_Tarnwick";
    int error = -1;
    {
        CInstanceLock first;
        ASSERT_TRUE(first.Create(file));
        EXPECT_EQ(first.TryAcquire(error), CInstanceLock::Outcome::Acquired);
        EXPECT_EQ(error, 0);

        CInstanceLock second;
        ASSERT_TRUE(second.Create(file));
        EXPECT_EQ(second.TryAcquire(error), CInstanceLock::Outcome::HeldElsewhere);
    }
    CInstanceLock third;
    ASSERT_TRUE(third.Create(file));
    EXPECT_EQ(third.TryAcquire(error), CInstanceLock::Outcome::Acquired);
}

TEST(InstanceLock, ALockFileThatCannotBeCreatedMakesTheWaitFail) {
    test::TempDir temp;
    CInstanceLock lock;
    EXPECT_FALSE(lock.Create(temp / "missing" / "mutex_for_Tarnwick"));
    int error = 0;
    EXPECT_EQ(lock.TryAcquire(error), CInstanceLock::Outcome::Failed);
    EXPECT_EQ(error, EBADF);
}

TEST(InstanceLock, LivesInTheRuntimeFolderElseInTempWithTheUserId) {
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string old = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", "/run/user/1000", 1);
    EXPECT_EQ(CInstanceLock::PathFor("Tarnwick"), "/run/user/1000/mutex_for_Tarnwick");
    ::unsetenv("XDG_RUNTIME_DIR");
    const auto fallback = CInstanceLock::PathFor("Tarnwick");
    EXPECT_EQ(fallback.parent_path(), std::filesystem::temp_directory_path());
    EXPECT_EQ(fallback.filename(), "mutex_for_Tarnwick-" + std::to_string(::getuid()));
    if (saved) {
        ::setenv("XDG_RUNTIME_DIR", old.c_str(), 1);
    }
}

}  // namespace
}  // namespace tkw

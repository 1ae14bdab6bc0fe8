#include "platform/instance_lock.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

using platform::InstanceLock;
using platform::lockHolder;

// flock locks belong to open file descriptions, so a second open in this process stands in
// for a second program.
TEST(InstanceLock, OneHolderAtATimeAndItsRecordIsReadable) {
    testing_support::TempDir dir;
    auto path = dir.path() / "app.lock";
    EXPECT_FALSE(lockHolder(path)) << "no file: no holder";

    auto first = InstanceLock::tryAcquire(path);
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::tryAcquire(path)) << "a second claim must fail while held";
    auto silent = lockHolder(path);
    ASSERT_TRUE(silent);
    EXPECT_EQ(silent->text, "") << "nothing published yet";

    first->publish("http://127.0.0.1:8080/s/abc/");
    auto holder = lockHolder(path);
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->pid, ::getpid());
    EXPECT_EQ(holder->text, "http://127.0.0.1:8080/s/abc/");
    first->publish("second");
    EXPECT_EQ(lockHolder(path)->text, "second") << "a shorter record replaces a longer one whole";

    first.reset();
    EXPECT_FALSE(lockHolder(path)) << "released with its holder";
    EXPECT_TRUE(InstanceLock::tryAcquire(path)) << "free again for the next process";
}

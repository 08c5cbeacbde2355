#ifndef _WIN32

#include "support/FileSave.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// Saving into a folder other users write: the saving user is the unprivileged account
// tonolot-test, the other user the super-user, who plants what a hostile user could.

namespace {

class SharedFolder : public testing::Test {
protected:
    void SetUp() override {
        const passwd* account = getpwnam("tonolot-test");
        if (geteuid() != 0 || !account) {
            GTEST_SKIP() << "needs the super-user and the account tonolot-test: scripts/test.sh "
                            "runs this as the super-user";
        }
        user = account->pw_uid;
        group = account->pw_gid;
        chmod(folder.Path("").c_str(), 0755); // whatever the umask, the user gets in
        std::filesystem::create_directory(folder.Native("shared"));
        chmod(folder.Path("shared").c_str(), 01777);
    }

    // Runs `save` as tonolot-test in a process of its own; its result.
    FileSaveResult::Outcome SaveAsUser(const std::string& file, const std::string& content) {
        const pid_t child = fork();
        if (child == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0) {
                _exit(99);
            }
            _exit(static_cast<int>(
                FileSaveWhole(folder.Path(file).c_str(), content.data(), content.size()).outcome));
        }
        int status = 0;
        waitpid(child, &status, 0);
        return static_cast<FileSaveResult::Outcome>(WIFEXITED(status) ? WEXITSTATUS(status) : 98);
    }

    struct stat Status(const std::string& file) const {
        struct stat status = {};
        lstat(folder.Path(file).c_str(), &status);
        return status;
    }

    ScratchFolder folder;
    uid_t user = 0;
    gid_t group = 0;
};

TEST_F(SharedFolder, AnotherUsersFileInAStickyFolderIsWrittenInPlace) {
    // The copy can be made, but it may not take the place of a file of another user.
    folder.Write("shared/data.def", "old content");
    chmod(folder.Path("shared/data.def").c_str(), 0666);
    EXPECT_EQ(SaveAsUser("shared/data.def", "new content, longer"), FileSaveResult::Outcome::Saved);
    EXPECT_EQ(folder.Read("shared/data.def"), "new content, longer");
    EXPECT_EQ(Status("shared/data.def").st_uid, 0u);
    EXPECT_EQ(Status("shared/data.def").st_mode & 07777, 0666u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Native("shared")),
                            std::filesystem::directory_iterator()),
              1)
        << "the copy is removed";
}

TEST_F(SharedFolder, WhatAnotherUserPlantsAtCopyNamesIsNeitherFollowedNorRemoved) {
    std::filesystem::create_directory(folder.Native("private"));
    folder.Write("private/secret", "the user's own");
    chown(folder.Path("private").c_str(), user, group);
    chown(folder.Path("private/secret").c_str(), user, group);
    chmod(folder.Path("private").c_str(), 0700);
    chmod(folder.Path("private/secret").c_str(), 0600);
    folder.Write("shared/data.def", "old");
    chown(folder.Path("shared/data.def").c_str(), user, group);
    const std::string planted[] = {".tonolot-0000000000000000.tmp", ".tonolot-ffffffffffffffff.tmp",
                                   ".tonolot-0123456789abcdef.tmp",
                                   ".tonolot-1111111111111111.tmp"};
    std::filesystem::create_symlink(folder.Native("private/secret"),
                                    folder.Native("shared/" + planted[0]));
    std::filesystem::create_symlink(folder.Native("private/secret"),
                                    folder.Native("shared/" + planted[1]));
    ASSERT_EQ(mkfifo(folder.Path("shared/" + planted[2]).c_str(), 0666), 0);
    folder.Write("shared/" + planted[3], "another user's leftover");

    EXPECT_EQ(SaveAsUser("shared/data.def", "new"), FileSaveResult::Outcome::Saved);
    EXPECT_EQ(folder.Read("shared/data.def"), "new");
    EXPECT_TRUE(S_ISREG(Status("shared/data.def").st_mode));
    EXPECT_EQ(Status("shared/data.def").st_uid, user);
    EXPECT_EQ(folder.Read("private/secret"), "the user's own");
    EXPECT_EQ(Status("private/secret").st_mode & 07777, 0600u);
    for (const std::string& name : planted) {
        EXPECT_TRUE(std::filesystem::is_symlink(folder.Native("shared/" + name)) ||
                    std::filesystem::exists(folder.Native("shared/" + name)))
            << name;
    }
    EXPECT_EQ(folder.Read("shared/" + planted[3]), "another user's leftover");
}

} // namespace

#endif

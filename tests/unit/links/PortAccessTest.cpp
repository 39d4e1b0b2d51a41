// The words for a serial port the user may not open.
#include "links/PortAccess.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>

using namespace lvx;

namespace {

PortAccess Refused(unsigned mode, bool member) {
    PortAccess a;
    a.path = "/dev/ttyUSB0";
    a.error = EACCES;
    a.group = "dialout";
    a.mode = mode;
    a.user = "alice";
    a.memberOfGroup = member;
    return a;
}

} // namespace

TEST(PortAccessHint, NamesTheNodesGroupTheCommandAndANewLogin) {
    EXPECT_EQ(PortAccessHint(Refused(0660, false)),
              "No permission to open /dev/ttyUSB0: it belongs to the group \"dialout\", and "
              "your user alice is not a member. Add it with \"sudo usermod -a -G dialout "
              "alice\", then log out and log in again.");
    // The group is the node's, whatever it is called.
    PortAccess uucp = Refused(0660, false);
    uucp.group = "uucp";
    uucp.path = "/dev/ttyS3";
    EXPECT_EQ(PortAccessHint(uucp),
              "No permission to open /dev/ttyS3: it belongs to the group \"uucp\", and your "
              "user alice is not a member. Add it with \"sudo usermod -a -G uucp alice\", then "
              "log out and log in again.");
}

TEST(PortAccessHint, AMemberWhoseSessionIsOlderOnlyLogsInAgain) {
    EXPECT_EQ(PortAccessHint(Refused(0660, true)),
              "No permission to open /dev/ttyUSB0: it belongs to the group \"dialout\". Your "
              "user alice is a member, but this session began before it was added: log out "
              "and log in again.");
}

TEST(PortAccessHint, AGroupThatMayNotReadAndWriteNeedsTheAdministratorFirst) {
    // Read only (0640), write only (0620) and nothing (0600): membership alone cannot help,
    // whether or not the user is a member.
    for (const unsigned mode : {0640U, 0620U, 0600U}) {
        for (const bool member : {false, true}) {
            const std::string hint = PortAccessHint(Refused(mode, member));
            char shown[8];
            std::snprintf(shown, sizeof shown, "%04o", mode);
            EXPECT_NE(hint.find(std::string("may not read and write it (mode ") + shown + ")"),
                      std::string::npos)
                << hint;
            EXPECT_NE(hint.find("An administrator must give that group read and write access"),
                      std::string::npos);
            EXPECT_NE(hint.find("log in again"), std::string::npos);
        }
    }
    // The file type bits of a full st_mode do not show.
    EXPECT_NE(PortAccessHint(Refused(020600, false)).find("(mode 0600)"), std::string::npos);
}

TEST(PortAccessHint, OnlyARefusedPermissionGetsWords) {
    PortAccess a = Refused(0660, false);
    a.error = EPERM;
    EXPECT_FALSE(PortAccessHint(a).empty());
    for (const int other : {0, ENOENT, EBUSY, EIO}) {
        a.error = other;
        EXPECT_EQ(PortAccessHint(a), "") << other;
    }
}

TEST(PortAccessHint, AnUnknownUserReadsAsTheShellsUser) {
    PortAccess a = Refused(0660, false);
    a.user.clear();
    EXPECT_NE(PortAccessHint(a).find("\"sudo usermod -a -G dialout $USER\""), std::string::npos);
}

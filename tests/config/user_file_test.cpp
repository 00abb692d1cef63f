#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "config/support.h"
#include "platform/fs.h"
#include "support/scratch.h"

using namespace ovr::config;
using ovr::test::read_text;
using ovr::test::ScratchDir;
using ovr::test::write_text;

namespace {

UserRecord user(const std::string& name, const std::string& full = "") {
    UserRecord r;
    r.set_name(name);
    r.set_full_name(full);
    return r;
}

std::vector<std::string> names(const UserFileHandle& f) {
    std::vector<std::string> out;
    UserRecord r;
    for (uint32_t i = 0; SMSGetUserRecord(f, i, r); ++i) out.push_back(r.name());
    return out;
}

// Points the library's program data directory at a scratch directory.
class DataDir {
public:
    DataDir() { setenv("OVRINSMS_DATA_DIR", dir.path().c_str(), 1); }
    ~DataDir() { unsetenv("OVRINSMS_DATA_DIR"); }
    ScratchDir dir;
};

}  // namespace

TEST(UserRecordLayout, FieldsSitAtTheirOffsets) {
    UserRecord r;
    r.set_name("alice");
    r.set_password("pw");
    r.set_full_name("Alice Liddell");
    r.set_web_login_disabled(true);
    r.set_smpp_login_enabled(true);
    r.set_allowed_ips("10.0.0.1");
    r.set_web_menu_level(kMenuTextSmsOnly);
    r.set_administrator(true);
    r.set_accept_received(true);
    EXPECT_EQ(std::memcmp(&r.bytes[0], "alice", 6), 0);
    EXPECT_EQ(std::memcmp(&r.bytes[51], "pw", 3), 0);
    EXPECT_EQ(std::memcmp(&r.bytes[102], "Alice Liddell", 14), 0);
    EXPECT_EQ(r.bytes[203], 1);
    EXPECT_EQ(r.bytes[204], 1);
    EXPECT_EQ(std::memcmp(&r.bytes[225], "10.0.0.1", 9), 0);
    EXPECT_EQ(r.bytes[419], 0xB1);
    EXPECT_EQ(r.bytes[420], 'j');
    EXPECT_EQ(r.bytes[421], 1);

    // Long text is cut so that the field stays terminated within its width.
    r.set_name(std::string(80, 'n'));
    EXPECT_EQ(r.name(), std::string(50, 'n'));
    EXPECT_EQ(r.bytes[50], 0);
    EXPECT_EQ(r.bytes[51], 'p');

    VaspRecord v;
    v.set_allowed_ips("1.2.3.4");
    v.set_mm7_flags();
    EXPECT_EQ(std::memcmp(&v.bytes[267], "1.2.3.4", 8), 0);
    EXPECT_EQ(v.bytes[203], 1);
    EXPECT_EQ(v.bytes[204], 0);
    EXPECT_EQ(v.bytes[205], 1);
    EXPECT_EQ(v.bytes[206], 1);
}

TEST(UserFile, AddFindOrderReplaceDelete) {
    DataDir d;
    UserFileHandle f;
    ASSERT_TRUE(SMSOpenUserFile(f, kGenericRead | kGenericWrite));
    EXPECT_EQ(SMSGetRecordCount(f), 0u);
    ASSERT_TRUE(SMSAddUser(f, user("bob", "Bob")));
    ASSERT_TRUE(SMSAddUser(f, user("Carol", "Carol")));
    ASSERT_TRUE(SMSAddUser(f, user("alice", "Alice")));
    EXPECT_EQ(names(f), (std::vector<std::string>{"alice", "bob", "Carol"}));
    EXPECT_EQ(ovr::platform::fs::file_size(d.dir.file(kUserFileName)).value_or(0), 3u * 522);

    UserRecord r;
    EXPECT_TRUE(SMSFindUserRecord(f, "CAROL", r));
    EXPECT_EQ(r.full_name(), "Carol");
    EXPECT_FALSE(SMSFindUserRecord(f, "car", r));
    EXPECT_FALSE(SMSFindUserRecord(f, "", r));

    EXPECT_EQ(SMSFindFirstUserRecord(f, "B", r), 1);
    EXPECT_EQ(r.name(), "bob");
    EXPECT_EQ(SMSFindFirstUserRecord(f, "c", r), 2);
    EXPECT_EQ(SMSFindFirstUserRecord(f, "", r), 0);
    EXPECT_EQ(SMSFindFirstUserRecord(f, "dave", r), -1);

    // A name in another letter case replaces the record rather than adding one.
    ASSERT_TRUE(SMSAddUser(f, user("ALICE", "Alice II")));
    EXPECT_EQ(names(f), (std::vector<std::string>{"ALICE", "bob", "Carol"}));
    ASSERT_TRUE(SMSFindUserRecord(f, "alice", r));
    EXPECT_EQ(r.full_name(), "Alice II");

    EXPECT_TRUE(SMSDeleteUser(f, "BOB"));
    EXPECT_TRUE(SMSDeleteUser(f, "nobody"));
    EXPECT_EQ(names(f), (std::vector<std::string>{"ALICE", "Carol"}));
    EXPECT_FALSE(SMSGetUserRecord(f, 2, r));

    EXPECT_FALSE(SMSAddUser(f, user("")));
    SMSCloseUserFile(f);
    EXPECT_FALSE(f);
    EXPECT_EQ(SMSGetRecordCount(f), 0u);
    EXPECT_FALSE(SMSAddUser(f, user("x")));
}

TEST(UserFile, UnknownBytesSurviveAndFileIsNotForEveryone) {
    DataDir d;
    UserFileHandle f;
    ASSERT_TRUE(SMSOpenUserFile(f, kGenericRead | kGenericWrite));
    UserRecord in = user("alice");
    for (size_t i = 430; i < kUserRecordSize; ++i) in.bytes[i] = static_cast<uint8_t>(i);
    ASSERT_TRUE(SMSAddUser(f, in));
    UserRecord out;
    ASSERT_TRUE(SMSGetUserRecord(f, 0, out));
    EXPECT_EQ(in, out);
    struct stat st {};
    ASSERT_EQ(stat(d.dir.file(kUserFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07, 0u) << "passwords must not be readable by others";
}

TEST(UserFile, ReadOnlyHandleRefusesChangesAndSeesOthers) {
    DataDir d;
    UserFileHandle reader, writer;
    ASSERT_TRUE(SMSOpenUserFile(reader, kGenericRead));
    ASSERT_TRUE(SMSOpenUserFile(writer, kGenericRead | kGenericWrite));
    EXPECT_FALSE(SMSAddUser(reader, user("alice")));
    EXPECT_FALSE(SMSDeleteUser(reader, "alice"));
    EXPECT_FALSE(ovr::platform::fs::exists(d.dir.file(kUserFileName)));

    EXPECT_EQ(SMSGetRecordCount(reader), 0u);
    ASSERT_TRUE(SMSAddUser(writer, user("alice")));
    EXPECT_EQ(SMSGetRecordCount(reader), 1u);
    ASSERT_TRUE(SMSAddUser(writer, user("bob")));
    ASSERT_TRUE(SMSDeleteUser(writer, "alice"));
    EXPECT_EQ(names(reader), (std::vector<std::string>{"bob"}));

    UserFileHandle none;
    EXPECT_FALSE(SMSOpenUserFile(none, 0));
}

TEST(UserFile, DamagedFilesGiveTheirWholeRecords) {
    DataDir d;
    std::string path = d.dir.file(kUserFileName);
    std::string two;
    for (const char* n : {"anna", "zed"}) {
        UserRecord r = user(n);
        two.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
    }
    write_text(path, two + std::string(100, 'x'));
    UserFileHandle f;
    ASSERT_TRUE(SMSOpenUserFile(f, kGenericRead | kGenericWrite));
    EXPECT_EQ(names(f), (std::vector<std::string>{"anna", "zed"}));
    // The next write keeps the whole records and drops the torn tail.
    ASSERT_TRUE(SMSAddUser(f, user("mia")));
    EXPECT_EQ(names(f), (std::vector<std::string>{"anna", "mia", "zed"}));
    EXPECT_EQ(read_text(path).size(), 3u * 522);

    // A record whose name fills its field without a terminator is still
    // read within the field.
    UserRecord odd;
    std::memset(odd.bytes.data(), 'q', 60);
    write_text(path, std::string(reinterpret_cast<const char*>(odd.bytes.data()), odd.bytes.size()));
    EXPECT_EQ(names(f), (std::vector<std::string>{std::string(51, 'q')}));

    write_text(path, "short");
    EXPECT_EQ(SMSGetRecordCount(f), 0u);
}

TEST(UserFile, SomethingElseAtThePathIsNeitherReadNorReplaced) {
    DataDir d;
    ASSERT_TRUE(ovr::platform::fs::create_directory(d.dir.file(kUserFileName)));
    UserFileHandle f;
    EXPECT_FALSE(SMSOpenUserFile(f, kGenericRead));
    RecordFile direct(d.dir.file(kUserFileName), kUserRecordSize, true);
    EXPECT_EQ(direct.count(), 0u);
    EXPECT_FALSE(direct.put(user("alice").bytes.data()));
    EXPECT_TRUE(ovr::platform::fs::is_directory(d.dir.file(kUserFileName)));

    setenv("OVRINSMS_DATA_DIR", d.dir.file("missing/").c_str(), 1);
    EXPECT_FALSE(SMSOpenUserFile(f, kGenericRead | kGenericWrite));
}

TEST(UserFile, ConcurrentWritersLoseNoUser) {
    DataDir d;
    constexpr int kEach = 25;
    auto writer = [&](char tag) {
        UserFileHandle f;
        ASSERT_TRUE(open_user_file(d.dir.path(), kGenericRead | kGenericWrite, f));
        for (int i = 0; i < kEach; ++i) ASSERT_TRUE(SMSAddUser(f, user(std::string(1, tag) + std::to_string(i))));
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    UserFileHandle f;
    ASSERT_TRUE(SMSOpenUserFile(f, kGenericRead));
    EXPECT_EQ(SMSGetRecordCount(f), 2u * kEach);
}

TEST(MmscAccounts, VaspAndRouteAccountsKeepTheirOwnFiles) {
    DataDir d;
    VaspRecord v;
    v.set_name("Alice");
    v.set_password("secret");
    v.set_mm7_flags();
    ASSERT_TRUE(VASPAddUser(v));
    VaspRecord got;
    ASSERT_TRUE(VASPFindUserRecord("alice", got));
    EXPECT_EQ(got, v);

    RouteRecord route;
    route.set_name("ovrinsmslite");
    route.bytes[300] = 7;
    ASSERT_TRUE(VASPOutAddUser(route));
    RouteRecord rgot;
    ASSERT_TRUE(VASPOutFindUserRecord("OVRINSMSLITE", rgot));
    EXPECT_EQ(rgot.bytes[300], 7);
    EXPECT_FALSE(VASPFindUserRecord("ovrinsmslite", got));

    UserFileHandle f;
    ASSERT_TRUE(SMSOpenUserFile(f, kGenericRead));
    EXPECT_EQ(SMSGetRecordCount(f), 0u);

    EXPECT_EQ(read_text(d.dir.file(kVaspFileName)).size(), 511u);
    ASSERT_TRUE(VASPDeleteUser("ALICE"));
    EXPECT_FALSE(VASPFindUserRecord("alice", got));
    ASSERT_TRUE(VASPOutDeleteUser("ovrinsmslite"));
    EXPECT_FALSE(VASPOutFindUserRecord("ovrinsmslite", rgot));
}

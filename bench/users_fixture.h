// A gateway with 10,000 users for the Users page benchmarks: the user file
// as the services keep it (522-byte records sorted by name, 5.2 MB), every
// user with an "Inbound SMS Routing" key, every fifth with a USERS/<name>
// folder (unless a benchmark takes them away) and every twentieth with an
// MM7/EAIF account.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "config/directories.h"
#include "config/records.h"
#include "config/support.h"
#include "pages/page.h"
#include "platform/fs.h"

namespace ovr::bench {

inline constexpr int kUsers = 10000;

inline std::string user_name(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "user%05d", i);
    return buf;
}

struct UsersGateway {
    std::string root, data, users_file;
    std::string user_bytes, rirer_text, vasp_bytes;
    pages::Context ctx;

    UsersGateway() {
        char tmpl[] = "/tmp/ovrbench-users.XXXXXX";
        root = std::string(mkdtemp(tmpl)) + "/";
        data = root + "data/";
        platform::fs::create_directories(data);
        setenv("OVRINSMS_DATA_DIR", data.c_str(), 1);
        ctx.dirs = {data, root + "private/", root};
        ctx.ini = config::ini_paths_for(ctx.dirs);
        users_file = data + config::kUserFileName;
        rirer_text = "[RIRER]\nModem1=COM7:\n[Inbound SMS Routing]\n";
        for (int i = 0; i < kUsers; ++i) {
            config::UserRecord r;
            r.set_name(user_name(i));
            r.set_full_name("Gateway User " + std::to_string(i));
            r.set_password("pw" + std::to_string(i));
            r.set_smpp_login_enabled(true);
            user_bytes.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
            rirer_text += user_name(i) + "=+1555" + std::to_string(1000000 + i) + "\n";
            if (i % 20 == 0) {
                config::VaspRecord v;
                v.set_name(user_name(i));
                v.set_password("pw");
                v.set_mm7_flags();
                vasp_bytes.append(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size());
            }
        }
        restore();
    }
    ~UsersGateway() {
        platform::fs::recursive_delete(root);
        unsetenv("OVRINSMS_DATA_DIR");
    }

    // Puts every file back as it was made, after a benchmark changed them;
    // without the folders, none.
    void restore(bool folders = true) {
        if (!platform::fs::write_file_atomic(users_file, user_bytes) ||
            !platform::fs::write_file_atomic(ctx.ini.rirer, rirer_text) ||
            !platform::fs::write_file_atomic(ctx.ini.mmsc, "") ||
            !platform::fs::write_file_atomic(data + config::kVaspFileName, vasp_bytes))
            std::abort();
        // Written an hour ago, as a page usually finds them: the INI cache
        // compares a file changed in the last two seconds byte for byte.
        struct timespec past[2];
        clock_gettime(CLOCK_REALTIME, &past[0]);
        past[0].tv_sec -= 3600;
        past[1] = past[0];
        for (const std::string& f : {users_file, ctx.ini.rirer, ctx.ini.mmsc, data + config::kVaspFileName})
            utimensat(AT_FDCWD, f.c_str(), past, 0);
        if (!folders) {
            platform::fs::recursive_delete(data + "USERS/");
            return;
        }
        for (int i = 0; i < kUsers; i += 5) platform::fs::create_directories(data + "USERS/" + user_name(i));
    }
};

}  // namespace ovr::bench

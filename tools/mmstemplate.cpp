// ovrinsms-mmstemplate PATH: writes the MMS test template to PATH (replaced
// atomically, so a console sending a test MMS meanwhile copies a whole one).
#include <iostream>

#include "platform/fs.h"
#include "queue/mms_template.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '\0') {
        std::cerr << "usage: ovrinsms-mmstemplate PATH\n";
        return 2;
    }
    if (!ovr::platform::fs::write_file_atomic(argv[1], ovr::queue::make_mms_test_template())) {
        std::cerr << "ovrinsms-mmstemplate: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}

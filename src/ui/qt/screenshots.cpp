// ovrinsms-screenshots DIR: renders every sheet, page and dialog of the
// console to PNG files in DIR (run offscreen by ./run screenshots), over a
// scratch data directory made for the purpose.
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "app/sheet.h"
#include "config/ini.h"
#include "pages/page.h"
#include "platform/fs.h"
#include "ui/qt/page_views.h"
#include "ui/qt/qt_ui.h"
#include "ui/qt/sheet_window.h"

using namespace ovr;

namespace {

std::string out_dir;
int written = 0;

void save(QWidget* w, const std::string& name) {
    w->show();
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    std::string path = out_dir + name + ".png";
    // Offscreen windows have no frame, so the caption (the program title,
    // or "Please wait...") is drawn above the content as a title bar.
    QPixmap content = w->grab();
    const int bar = 26;
    QPixmap shot(content.width() + 2, content.height() + bar + 1);
    shot.fill(QColor(0x44, 0x55, 0x66));
    {
        QPainter p(&shot);
        p.drawPixmap(1, bar, content);
        w->windowIcon().paint(&p, QRect(5, 4, 18, 18));
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRect(28, 0, shot.width() - 30, bar), Qt::AlignVCenter | Qt::AlignLeft, w->windowTitle());
    }
    if (shot.save(QString::fromStdString(path))) {
        ++written;
        std::cout << path << "\n";
    } else {
        std::cerr << "cannot write " << path << "\n";
    }
}

std::string slug(const std::string& title) {
    std::string s;
    for (char c : title) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        else if (!s.empty() && s.back() != '-')
            s += '-';
    }
    while (!s.empty() && s.back() == '-') s.pop_back();
    return s;
}

void box(const std::string& name, const std::string& text, Icon icon, Buttons buttons) {
    auto b = ui::make_message_box(text, icon, buttons, kProgramTitle, nullptr);
    b->setWindowIcon(ui::program_icon());
    save(b.get(), name);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: ovrinsms-screenshots DIR\n";
        return 2;
    }
    out_dir = argv[1];
    if (out_dir.back() != '/') out_dir += '/';
    platform::fs::create_directories(out_dir);

    char tmpl[] = "/tmp/ovrinsms-shots.XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::string root = std::string(tmpl) + "/";
    pages::Context ctx;
    ctx.dirs = {root, root + "private/", root};
    ctx.ini = config::ini_paths_for(ctx.dirs);
    ctx.help_available = true;
    ctx.manual_path = root + "OvrinSMS Lite.pdf";
    ScriptedUi quiet_ui;
    ctx.ui = &quiet_ui;
    // As after a wizard run: all three logs on; the SMS gateway has written
    // its log, the others not yet.
    config::ini::write_string(ctx.ini.rirer, "RIRER", "Debug", "Yes");
    config::ini::write_string(ctx.ini.mmsc, "MMSC", "Debug", "Yes");
    config::ini::write_string(root + "MMSWAP.INI", "MMSWAP", "Debug", "Yes");
    std::ofstream(root + "SMSDEBUG.LOG") << "log\n";

    {
        app::Sheet sheet(app::SheetKind::Main, ctx, app::make_main_pages(ctx));
        ui::SheetWindow w(sheet, true);
        for (size_t i = 0; i < sheet.size(); ++i) {
            w.tabs()->setCurrentIndex(static_cast<int>(i));
            char name[64];
            std::snprintf(name, sizeof name, "main-%zu-%s", i + 1, slug(sheet.page(i).title()).c_str());
            save(&w, name);
        }
        // The debug-log page after an edit: Apply enabled.
        auto* view = dynamic_cast<ui::DebugLogsView*>(w.view(sheet.size() - 1));
        if (view) {
            view->check(2)->click();
            save(&w, "main-8-debug-logs-changed");
        }
        sheet.on_change = nullptr;
    }
    {
        app::Sheet sheet(app::SheetKind::Wizard, ctx, app::make_wizard_pages(ctx));
        ui::SheetWindow w(sheet, true);
        for (size_t i = 0; i < 3; ++i) {
            save(&w, "wizard-" + std::to_string(i + 1) + "-" + slug(sheet.page(i).title().substr(28)));
            sheet.next();
        }
        save(&w, "wizard-4-configuration-complete");
        auto* view = dynamic_cast<ui::WizardCompleteView*>(w.view(3));
        if (view) {
            view->no()->click();
            save(&w, "wizard-4-configuration-complete-no");
            view->yes()->click();
            save(&w, "wizard-4-configuration-complete-yes");
        }
        sheet.next();
        save(&w, "wizard-5-send-test-message");
    }
    {
        ui::BusyDialog wait("Please wait...", "Stopping Services...");
        wait.setWindowIcon(ui::program_icon());
        save(&wait, "dialog-wait-stopping-services");
    }
    box("dialog-exit-without-saving", pages::kExitWithoutSaving, Icon::Question, Buttons::YesNoCancel);
    box("dialog-activate-service", "Service is not active, do you wish to activate the service?", Icon::Question,
        Buttons::YesNo);
    box("dialog-service-installed", "Service successfully installed!", Icon::Information, Buttons::Ok);
    box("dialog-service-install-failed", "Service installation failed!", Icon::Error, Buttons::Ok);
    box("dialog-delete-data-dir", "Delete Configuration files for OvrinSMS?", Icon::Question, Buttons::YesNo);
    box("dialog-modemtest-rights", "Administrative rights are required for this test.", Icon::Error, Buttons::Ok);

    platform::fs::recursive_delete(root + "private/");
    for (const auto& e : platform::fs::list_directory(root)) platform::fs::remove_file(root + e.name);
    platform::fs::recursive_delete(root);
    std::cout << written << " screenshots\n";
    return written > 0 ? 0 : 1;
}

// The entry of the window module: the portal window on the display, until it closes.
#include "portal/form1.h"
#include "portal/windowmodule.h"

#include "app/display.h"
#include "app/memory.h"
#include "app/starttrace.h"

#include <QApplication>
#include <QWebEngineView>

#include <optional>

extern "C" __attribute__((visibility("default"))) int corvale_run_window(int* argc, char** argv,
                                                                        const QElapsedTimer* clock) {
    static_assert(std::is_same_v<decltype(&corvale_run_window), portal::WindowEntry>);
    const auto application = app::openDisplay<QApplication>(*argc, argv);
    std::optional<portal::Form1> form;
    app::withHelpersReturningLargeBlocks([&] { form.emplace(); });
    if (app::StartTrace::wanted()) {
        auto* trace = new app::StartTrace(*clock, &*form);
        QObject::connect(form->WebBrowser1(), &QWebEngineView::loadFinished, trace,
                         &app::StartTrace::loaded);
    }
    form->show();
    return application->exec();
}

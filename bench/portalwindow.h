// The portal window as the window benchmarks open it: made as corvale makes it, shown, its
// start page loaded, starting no player.
#pragma once

#include "app/memory.h"
#include "portal/form1.h"
#include "support/pageload.h"

#include <optional>

namespace bench {

inline portal::Form1& openPortal(std::optional<portal::Form1>& made) {
    app::withHelpersReturningLargeBlocks([&] { made.emplace(); }); // as corvale starts
    portal::Form1& form = *made;
    form.setPlayerPath(QString());
    form.show();
    documentComplete(form.WebBrowser1()->page(), 30000);
    return form;
}

} // namespace bench

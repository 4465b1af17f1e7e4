// The player's logic that needs no window: its hosts, its command line and the watch over the
// browser's address while the vendor's link page is shown.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace lumetta {

// The vendor site's base address, "http://" and its host, no trailing slash.
QString vendorSiteBase();
// The vendor site's host alone, as the window caption ends with it.
QString vendorSiteHost();

// Pages of the vendor site, each relative to the base.
extern const QString kLoadingPath;   // shown first at start, always
extern const QString kLinkPagePath;  // shown when started without a link
extern const QString kLinkReadyPath; // the link page sends the browser here with "okok=<link>"
extern const QString kErrorPagePath; // shown when a handed-over link is too short

// What the player does with its command line.
enum class StartMode {
    LinkPage, // empty, or exactly "qd": show the link page and watch the address
    Link,     // anything else: the whole text is the link to play
};

StartMode classifyCommandLine(const QString& commandLine);

// The command line as the program sees it: the arguments after the program's own name,
// joined by single blanks and otherwise untouched.
QString commandLineFrom(const QStringList& argumentsAfterProgram);

// Watches the addresses that the browser reports while the link page is shown. Once it has
// seen a link-ready address, whatever came of it, it stops and ignores everything after.
class AddressWatch {
public:
    enum class Verdict {
        Wait,      // not link-ready: look again on the next tick
        Resolve,   // link-ready with a link long enough to play
        ErrorPage, // link-ready, but the link is too short or missing
        Stopped,   // the watch already ended
    };
    struct Result {
        Verdict verdict = Verdict::Wait;
        QString link; // set with Resolve
    };

    explicit AddressWatch(QString qjym);

    // The text that a link-ready address begins with.
    QString linkReadyPrefix() const { return prefix_; }
    // Whether the address begins with linkReadyPrefix(), exactly and case-sensitively.
    bool isLinkReady(const QString& address) const;
    // The text between the first "okok=" and the second (or the end), unchanged; none when the
    // address holds no "okok=".
    static std::optional<QString> linkIn(const QString& address);

    // Judges one address the browser reports.
    Result watch(const QString& address);
    bool stopped() const { return stopped_; }

    // A link needs more than this many characters to be played.
    static constexpr qsizetype kShortestUnplayable = 5;

private:
    QString prefix_;
    bool stopped_ = false;
};

} // namespace lumetta

#pragma once

#include <QObject>
#include <QStringList>

namespace portal {

// The links of the last search, in order: the one list that the window, its result list and
// the page bridge all read. A link keeps any "*" it holds, so the list is kept as links, never
// as the joined text. Readers hear of a change before it (to let a model begin its reset) and
// after it.
class Links : public QObject {
    Q_OBJECT
public:
    explicit Links(QObject* parent = nullptr) : QObject(parent) {}

    const QStringList& list() const { return list_; }
    qsizetype size() const { return list_.size(); }
    bool isEmpty() const { return list_.isEmpty(); }
    // The links as one text, each followed by "*": what pages read as edurl.
    QString edurl() const;

    // Replaces the links; nothing is signalled when they are the same.
    void set(const QStringList& links);
    void clear() { set({}); }

Q_SIGNALS:
    void aboutToChange();
    void changed();

private:
    QStringList list_;
};

} // namespace portal

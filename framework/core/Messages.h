#pragma once

#include "UserInterface.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace fw {

// A screen's message catalogue: entries "key|text". Lookups fall back to the
// base catalogue; an unknown key returns the key itself.
class TMessages {
public:
    TMessages();
    explicit TMessages(const QStringList& entries, const TMessages* base = &baseCatalogue());

    void setItems(const QStringList& entries);
    void add(const QString& entry);

    bool contains(const QString& key) const;
    QString Msg(const QString& key) const;
    // Shows the key's text in a modal box; returns the button pressed.
    int ShowMsg(const QString& key, MsgType type, Buttons buttons, int helpContext = 0) const;

    // The framework's own catalogue, with "Canc".
    static const TMessages& baseCatalogue();

private:
    const QString* find(const QString& key) const;
    QHash<QString, QString> m_items;
    QHash<QString, QString> m_folded; // lower-case key -> text
    const TMessages* m_base = nullptr;
};

} // namespace fw

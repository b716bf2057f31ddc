#pragma once

#include "core/RecordSet.h"

#include <QToolButton>
#include <QWidget>
#include <functional>
#include <map>

namespace fw {

// Record navigation and editing buttons on a data source.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost, nbCancel };

    explicit TDBNavigator(QWidget* parent = nullptr, const QString& name = {});
    ~TDBNavigator() override;

    void setDataSource(DataSource* ds);
    DataSource* dataSource() const { return m_ds.get(); }
    QToolButton* button(Button b) const;

    // Runs before a button acts; throw Abort to stop it.
    std::function<void(TDBNavigator&, Button)> BeforeAction;
    // Asked before a delete; false stops it (the default asks the user).
    std::function<bool()> ConfirmDelete;

    void click(Button b);
    void updateButtons();

private:
    class Watch;
    DataSourceRef m_ds;
    std::map<Button, QToolButton*> m_buttons;
    std::unique_ptr<Watch> m_watch;
};

} // namespace fw

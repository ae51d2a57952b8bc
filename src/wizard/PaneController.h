// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace inkveil {

class AppController;

// Base of the wizard's panes: the contract by which the frame drives a pane, with the default
// answer of each operation. A pane loads its own form; controls are found by object name.
class PaneController : public QObject
{
    Q_OBJECT

public:
    explicit PaneController(QObject *parent = nullptr);

    // Stores the controller and title, loads the form `form` as this pane's view and, when that
    // worked, runs formLoaded and setStatus. Answers whether the form loaded.
    bool setUpForm(const QString &form, const QString &title, AppController *appController);

    QString title() const { return m_title; }
    QWidget *ownView() const { return m_ownView; }
    AppController *appController() const { return m_appController; }

    virtual bool canProceed() const { return true; }
    virtual bool canGoBack() const { return true; }
    virtual void activate() {}
    virtual void setStatus() {}
    virtual void refresh(QObject *sender) { Q_UNUSED(sender) }
    // The controller's watermarks and output options were replaced (a preset was opened): show
    // the new ones.
    virtual void modelReplaced() {}

    // Object names this pane looked up that its form does not have.
    QStringList missingOutlets() const { return m_missingOutlets; }

protected:
    virtual void formLoaded() {}

    // The control of the given object name in this pane's view, or null (recorded as missing).
    template <typename T> T *outlet(const QString &name)
    {
        T *control = m_ownView ? m_ownView->findChild<T *>(name) : nullptr;
        if (!control)
            m_missingOutlets.append(name);
        return control;
    }

private:
    QPointer<QWidget> m_ownView;
    AppController *m_appController = nullptr;
    QString m_title;
    QStringList m_missingOutlets;
};

} // namespace inkveil

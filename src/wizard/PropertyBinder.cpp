// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#include "wizard/PropertyBinder.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QWidget>

#include <algorithm>

namespace inkveil {

namespace {

// The radio buttons of a group in form order: the loader makes them in that order.
QList<QRadioButton *> radioButtons(const QWidget *group)
{
    return group->findChildren<QRadioButton *>();
}

} // namespace

PropertyBinder::PropertyBinder(QWidget *root, QObject *parent)
    : QObject(parent)
    , m_root(root)
{}

void PropertyBinder::setObject(QObject *object)
{
    if (m_object)
        disconnect(m_object, nullptr, this, nullptr);
    m_object = object;
    m_notifiers.clear();
    m_bound.clear();
    if (!m_object || !m_root)
        return;

    const QMetaMethod notifiedSlot =
        staticMetaObject.method(staticMetaObject.indexOfSlot("notified()"));
    const QMetaObject *meta = m_object->metaObject();
    // QObject's own objectName is not a setting.
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        const QString name = QString::fromLatin1(property.name());
        // A choice among named numbers shows as its number.
        if (!bind(name, property.isEnumType() ? QMetaType::Int : property.metaType().id()))
            continue;
        m_bound.append(name);
        if (property.hasNotifySignal()) {
            connect(m_object, property.notifySignal(), this, notifiedSlot);
            m_notifiers.insert(property.notifySignalIndex(), name);
        }
        showValue(name);
    }
    std::sort(m_bound.begin(), m_bound.end());
}

bool PropertyBinder::bind(const QString &name, int propertyType)
{
    if (const auto existing = m_bindings.constFind(name); existing != m_bindings.constEnd())
        return !existing->control.isNull();

    QWidget *control = m_root->findChild<QWidget *>(name);
    if (!control)
        return false;
    Kind kind{};
    bool known = true;
    if (propertyType == QMetaType::QString && qobject_cast<QLineEdit *>(control))
        kind = Kind::Text;
    else if (propertyType == QMetaType::QString && qobject_cast<QComboBox *>(control))
        kind = Kind::ComboText;
    else if (propertyType == QMetaType::Bool && qobject_cast<QAbstractButton *>(control) &&
             qobject_cast<QAbstractButton *>(control)->isCheckable())
        kind = Kind::Check;
    else if (propertyType == QMetaType::Int && qobject_cast<QSpinBox *>(control))
        kind = Kind::Spin;
    else if (propertyType == QMetaType::Float && qobject_cast<QDoubleSpinBox *>(control))
        kind = Kind::DoubleSpin;
    else if (propertyType == QMetaType::Int && qobject_cast<QAbstractSlider *>(control))
        kind = Kind::Slider;
    else if (propertyType == QMetaType::Int && qobject_cast<QComboBox *>(control))
        kind = Kind::ComboIndex;
    else if (propertyType == QMetaType::Int && !radioButtons(control).isEmpty())
        kind = Kind::RadioGroup;
    else
        known = false;
    if (!known) {
        // A form mistake: the control carries the property's name but cannot show its type.
        qWarning().noquote() << QStringLiteral("PropertyBinder: a %1 cannot show %2")
                                    .arg(QString::fromLatin1(control->metaObject()->className()),
                                         name);
        return false;
    }
    m_bindings.insert(name, Binding{control, kind});
    connectControl(name, control, kind);
    return true;
}

void PropertyBinder::connectControl(const QString &name, QWidget *control, Kind kind)
{
    switch (kind) {
    case Kind::Text:
        connect(qobject_cast<QLineEdit *>(control), &QLineEdit::textEdited, this,
                [this, name](const QString &text) { controlEdited(name, text); });
        break;
    case Kind::Check:
        connect(qobject_cast<QAbstractButton *>(control), &QAbstractButton::toggled, this,
                [this, name](bool checked) { controlEdited(name, checked); });
        break;
    case Kind::Spin:
        connect(qobject_cast<QSpinBox *>(control), &QSpinBox::valueChanged, this,
                [this, name](int value) { controlEdited(name, value); });
        break;
    case Kind::DoubleSpin:
        connect(qobject_cast<QDoubleSpinBox *>(control), &QDoubleSpinBox::valueChanged, this,
                [this, name](double value) { controlEdited(name, static_cast<float>(value)); });
        break;
    case Kind::Slider:
        connect(qobject_cast<QAbstractSlider *>(control), &QAbstractSlider::valueChanged, this,
                [this, name](int value) { controlEdited(name, value); });
        break;
    case Kind::ComboText: {
        auto *combo = qobject_cast<QComboBox *>(control);
        connect(combo, &QComboBox::currentIndexChanged, this, [this, name, combo](int index) {
            if (index >= 0)
                controlEdited(name, combo->itemText(index));
        });
        break;
    }
    case Kind::ComboIndex:
        connect(qobject_cast<QComboBox *>(control), &QComboBox::currentIndexChanged, this,
                [this, name](int index) {
                    if (index >= 0)
                        controlEdited(name, index);
                });
        break;
    case Kind::RadioGroup: {
        const QList<QRadioButton *> radios = radioButtons(control);
        for (int value = 0; value < radios.size(); ++value) {
            connect(radios.at(value), &QRadioButton::toggled, this,
                    [this, name, value](bool checked) {
                        if (checked)
                            controlEdited(name, value);
                    });
        }
        break;
    }
    }
}

void PropertyBinder::controlEdited(const QString &name, const QVariant &value)
{
    if (m_showing || !m_object)
        return;
    const QMetaObject *meta = m_object->metaObject();
    const int index = meta->indexOfProperty(name.toLatin1().constData());
    if (index >= 0)
        meta->property(index).write(m_object, value);
}

void PropertyBinder::showValue(const QString &name)
{
    const auto binding = m_bindings.constFind(name);
    if (binding == m_bindings.constEnd() || !binding->control || !m_object)
        return;
    const QScopedValueRollback<bool> showing(m_showing, true);
    const QVariant value = m_object->property(name.toLatin1().constData());
    QWidget *control = binding->control;
    switch (binding->kind) {
    case Kind::Text: {
        auto *edit = qobject_cast<QLineEdit *>(control);
        // Setting the same text again would move the cursor under the user's fingers.
        if (edit->text() != value.toString())
            edit->setText(value.toString());
        break;
    }
    case Kind::Check:
        qobject_cast<QAbstractButton *>(control)->setChecked(value.toBool());
        break;
    case Kind::Spin:
        qobject_cast<QSpinBox *>(control)->setValue(value.toInt());
        break;
    case Kind::DoubleSpin:
        qobject_cast<QDoubleSpinBox *>(control)->setValue(value.toDouble());
        break;
    case Kind::Slider:
        qobject_cast<QAbstractSlider *>(control)->setValue(value.toInt());
        break;
    case Kind::ComboText: {
        auto *combo = qobject_cast<QComboBox *>(control);
        combo->setCurrentIndex(combo->findText(value.toString()));
        break;
    }
    case Kind::ComboIndex:
        // An index past the items selects nothing.
        qobject_cast<QComboBox *>(control)->setCurrentIndex(value.toInt());
        break;
    case Kind::RadioGroup: {
        const QList<QRadioButton *> radios = radioButtons(control);
        const int chosen = value.toInt();
        if (chosen >= 0 && chosen < radios.size()) {
            radios.at(chosen)->setChecked(true);
            break;
        }
        // No button stands for the value: none is checked.
        for (QRadioButton *radio : radios) {
            const bool exclusive = radio->autoExclusive();
            radio->setAutoExclusive(false);
            radio->setChecked(false);
            radio->setAutoExclusive(exclusive);
        }
        break;
    }
    }
}

void PropertyBinder::notified()
{
    // A notification queued by an object the binder has since left is stale.
    if (sender() != m_object)
        return;
    const QString name = m_notifiers.value(senderSignalIndex());
    if (name.isEmpty())
        return;
    showValue(name);
    Q_EMIT propertyChanged(name);
}

} // namespace inkveil

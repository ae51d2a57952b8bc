// SPDX-FileCopyrightText: 2026 Tessaly
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

class QWidget;

namespace inkveil {

// Connects the controls of a form to the properties of one object, both ways. A control whose
// object name is the name of a property shows the property's value, writes the user's edits
// through the property's setter, and follows every change of the property (its NOTIFY signal),
// whoever made it. The control kind goes with the property type:
//   QString: QLineEdit (each edit), QComboBox (the chosen item's text);
//   bool:    a checkable button (QCheckBox);
//   int, enum: QSpinBox, a slider, QComboBox (the chosen item's index), or any other widget that
//            holds radio buttons, its n-th radio button (in form order) standing for n;
//   float:   QDoubleSpinBox.
// A value a control cannot show (an index past the items, a number outside a spin box's range)
// leaves the control blank or at its limit, and the object keeps its value. The binder can be
// pointed at another object at any time; the controls then show that object.
class PropertyBinder : public QObject
{
    Q_OBJECT

public:
    explicit PropertyBinder(QWidget *root, QObject *parent = nullptr);

    QObject *object() const { return m_object; }
    void setObject(QObject *object);

    // Names of the properties of the object that have a control, sorted.
    QStringList boundProperties() const { return m_bound; }

Q_SIGNALS:
    // A bound property of the object changed, through its control or otherwise.
    void propertyChanged(const QString &name);

private Q_SLOTS:
    void notified();

private:
    enum class Kind { Text, Check, Spin, DoubleSpin, Slider, ComboText, ComboIndex, RadioGroup };
    struct Binding
    {
        QPointer<QWidget> control;
        Kind kind;
    };

    // Finds and connects the control of a property, once; answers whether it has one.
    bool bind(const QString &name, int propertyType);
    void connectControl(const QString &name, QWidget *control, Kind kind);
    void controlEdited(const QString &name, const QVariant &value);
    void showValue(const QString &name);

    QPointer<QWidget> m_root;
    QPointer<QObject> m_object;
    QHash<QString, Binding> m_bindings;
    QStringList m_bound;
    // Meta-method index of each NOTIFY signal of the object, to its property name.
    QHash<int, QString> m_notifiers;
    // Set while the binder puts values into controls, so their change signals are not edits.
    bool m_showing = false;
};

} // namespace inkveil

// The format diagram for screen readers: the diagram with one child per box,
// each named by its caption, with its value in the field notation, its state
// and a press action that opens its editor.
#include "view/format_diagram_keys.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

#include <array>

#include "model/diagram_tables.h"
#include "view/tovask_view.h"

namespace {

class BoxAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    BoxAccessible(CFormatDiagram* diagram, int k) : m_diagram(diagram), m_k(k) {}

    bool isValid() const override { return !m_diagram.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_diagram ? m_diagram->window()->windowHandle() : nullptr; }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_diagram.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    QString text(QAccessible::Text t) const override
    {
        if (!m_diagram)
            return {};
        switch (t) {
        case QAccessible::Name:
            return QString::fromLocal8Bit(m_diagram->BoxName(m_k).c_str());
        case QAccessible::Value:
            return QString::fromLocal8Bit(m_diagram->BoxValue(m_k).c_str());
        case QAccessible::Description: {
            // AT-SPI carries no value for a button: the text's value is said here too.
            const QString value = QString::fromLocal8Bit(m_diagram->BoxValue(m_k).c_str());
            if (!Editable())
                return Kind() == FieldKind::Data ? "Not editable" : "Its track is switched off";
            if (Kind() == FieldKind::Switch)
                return "Enter, Space or F2 switches it on or off";
            return (value.isEmpty() ? QString("Empty") : "Value " + value) + ". Enter, Space or F2 edits it";
        }
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!m_diagram)
            return {};
        const QRect r = m_diagram->BoxRect(m_k);
        return QRect(m_diagram->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override
    {
        switch (Kind()) {
        case FieldKind::Switch: return QAccessible::CheckBox;
        case FieldKind::Data: return QAccessible::StaticText;
        default: return QAccessible::Button;
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_diagram)
            return s;
        const bool active = m_diagram->View().IsBoxActive(m_k);
        s.disabled = !active;
        s.focusable = active;
        s.focused = active && m_diagram->hasFocus() && m_diagram->CurrentBox() == m_k;
        s.readOnly = Kind() == FieldKind::Data;
        if (Kind() == FieldKind::Switch) {
            s.checkable = true;
            s.checked = m_diagram->View().Doc().record.formatFields[m_k].enabled != 0;
        }
        s.invisible = !m_diagram->isVisible();
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return Editable() ? QStringList{pressAction()} : QStringList{}; }
    void doAction(const QString& name) override
    {
        if (m_diagram && name == pressAction() && Editable()) {
            m_diagram->SetCurrentBox(m_k);
            m_diagram->PressBox(m_k);
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override
    {
        return name == pressAction() ? QStringList{"Return", "Space", "F2"} : QStringList{};
    }

private:
    FieldKind Kind() const { return FieldInfoAt(m_k).kind; }
    bool Editable() const { return m_diagram && Kind() != FieldKind::Data && m_diagram->View().IsBoxActive(m_k); }

    QPointer<CFormatDiagram> m_diagram;
    int m_k;
};

class DiagramAccessible : public QAccessibleWidget {
public:
    explicit DiagramAccessible(CFormatDiagram* diagram) : QAccessibleWidget(diagram, QAccessible::Grouping) {}
    ~DiagramAccessible() override
    {
        for (QAccessible::Id id : m_ids)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return formatFieldCount; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= formatFieldCount)
            return nullptr;
        QAccessible::Id& id = m_ids[static_cast<std::size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new BoxAccessible(Diagram(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int k = 0; k < formatFieldCount; ++k)
            if (m_ids[static_cast<std::size_t>(k)] && QAccessible::accessibleInterface(m_ids[static_cast<std::size_t>(k)]) == child)
                return k;
        return -1;
    }
    QAccessibleInterface* focusChild() const override
    {
        return Diagram()->hasFocus() ? child(Diagram()->CurrentBox()) : nullptr;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int k = 0; k < formatFieldCount; ++k)
            if (child(k)->rect().contains(x, y))
                return child(k);
        return nullptr;
    }

private:
    CFormatDiagram* Diagram() const { return static_cast<CFormatDiagram*>(widget()); }

    mutable std::array<QAccessible::Id, formatFieldCount> m_ids{};
};

QAccessibleInterface* DiagramFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("CFormatDiagram") && object && object->isWidgetType())
        return new DiagramAccessible(static_cast<CFormatDiagram*>(object));
    return nullptr;
}

}  // namespace

void InstallFormatDiagramAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(DiagramFactory);
        return true;
    }();
    (void)installed;
}

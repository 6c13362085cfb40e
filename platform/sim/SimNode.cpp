#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimElementRef.h"

#include <algorithm>
#include <utility>

namespace velmora::sim {

namespace {

size_t s_liveNodes = 0;

const char* const kComputedEverywhere[] = {"AXChildren", "AXParent"};
const char* const kComputedOnApplication[] = {"AXWindows", "AXFocusedWindow", "AXFocusedUIElement", "AXFrontmost", "AXHidden"};
const char* const kComputedBelowApplication[] = {"AXWindow", "AXTopLevelUIElement"};

AccessibleElement elementOf(const SimNode& node)
{
    // Handles keep nodes as shared objects; the const view here is only ours.
    return const_cast<SimNode&>(node).element();
}

bool isApplicationElement(const SimNode& node)
{
    return node.app().root.get() == &node;
}

// The ancestor-or-self just below the application element; null when the node
// is the application element or not attached under it.
const SimNode* topLevelOf(const SimNode& node)
{
    const SimNode* current = &node;
    while (current->parent()) {
        if (isApplicationElement(*current->parent()))
            return current;
        current = current->parent();
    }
    return nullptr;
}

std::optional<AttributeValue> liveElement(const std::shared_ptr<SimNode>& node)
{
    if (!node || !node->isAlive())
        return std::nullopt;
    return AttributeValue(node->element());
}

std::optional<AttributeValue> computedAttribute(const SimNode& node, const std::string& name)
{
    if (name == "AXChildren") {
        AttributeValue::Array children;
        for (const auto& child : node.children())
            if (child->isAlive())
                children.emplace_back(child->element());
        return AttributeValue(std::move(children));
    }
    if (name == "AXParent")
        return node.parent() ? std::optional<AttributeValue>(elementOf(*node.parent())) : std::nullopt;

    const SimApp& app = node.app();
    if (isApplicationElement(node)) {
        if (name == "AXWindows") {
            AttributeValue::Array windows;
            for (const auto& window : app.windows)
                if (window && window->isAlive())
                    windows.emplace_back(window->element());
            return AttributeValue(std::move(windows));
        }
        if (name == "AXFocusedWindow")
            return liveElement(app.focusedWindow);
        if (name == "AXFocusedUIElement") {
            if (auto element = liveElement(app.focusedElement))
                return element;
            return liveElement(app.focusedWindow);
        }
        if (name == "AXFrontmost")
            return AttributeValue(app.frontmost);
        if (name == "AXHidden")
            return AttributeValue(app.hidden);
        return std::nullopt;
    }
    if (name == "AXWindow" || name == "AXTopLevelUIElement") {
        if (auto top = topLevelOf(node))
            return AttributeValue(elementOf(*top));
    }
    return std::nullopt;
}

std::vector<std::string> computedNames(const SimNode& node)
{
    std::vector<std::string> names;
    names.emplace_back(kComputedEverywhere[0]);
    if (node.parent())
        names.emplace_back(kComputedEverywhere[1]);
    if (isApplicationElement(node))
        names.insert(names.end(), std::begin(kComputedOnApplication), std::end(kComputedOnApplication));
    else if (topLevelOf(node))
        names.insert(names.end(), std::begin(kComputedBelowApplication), std::end(kComputedBelowApplication));
    return names;
}

} // namespace

SimNode::SimNode(SimApp& app, std::string role) : m_app(&app)
{
    ++s_liveNodes;
    m_attributes["AXRole"] = std::move(role);
}

SimNode::~SimNode()
{
    // No access to m_app here: a handle may keep a node past its application.
    for (auto& child : m_children)
        child->m_parent = nullptr;
    --s_liveNodes;
}

pid_t SimNode::pid() const
{
    return m_app->info.pid;
}

SimNode& SimNode::setAttribute(const std::string& name, AttributeValue value)
{
    m_attributes[name] = std::move(value);
    m_unlisted.erase(name);
    m_suppressed.erase(name);
    return *this;
}

SimNode& SimNode::setHiddenAttribute(const std::string& name, AttributeValue value)
{
    m_attributes[name] = std::move(value);
    m_unlisted.insert(name);
    return *this;
}

SimNode& SimNode::removeAttribute(const std::string& name)
{
    m_attributes.erase(name);
    m_unlisted.erase(name);
    m_suppressed.insert(name);
    return *this;
}

std::optional<AttributeValue> SimNode::attribute(const std::string& name) const
{
    if (auto it = m_attributes.find(name); it != m_attributes.end())
        return it->second;
    if (m_suppressed.contains(name))
        return std::nullopt;
    return computedAttribute(*this, name);
}

std::vector<std::string> SimNode::attributeNames() const
{
    std::vector<std::string> names;
    for (const auto& [name, value] : m_attributes)
        if (!m_unlisted.contains(name))
            names.push_back(name);
    for (auto& name : computedNames(*this))
        if (!m_suppressed.contains(name) && !m_attributes.contains(name))
            names.push_back(std::move(name));
    return names;
}

SimNode& SimNode::setFrame(Point position, Size size)
{
    setAttribute("AXPosition", position);
    return setAttribute("AXSize", size);
}

Point SimNode::position() const
{
    auto it = m_attributes.find("AXPosition");
    return it == m_attributes.end() ? Point{} : it->second.pointValue().value_or(Point{});
}

Size SimNode::size() const
{
    auto it = m_attributes.find("AXSize");
    return it == m_attributes.end() ? Size{} : it->second.sizeValue().value_or(Size{});
}

std::shared_ptr<SimNode> SimNode::addChild(const std::string& role)
{
    auto child = std::make_shared<SimNode>(*m_app, role);
    child->m_parent = this;
    m_children.push_back(child);
    return child;
}

std::shared_ptr<SimNode> SimNode::addButton(const std::string& title, Point position, Size size, bool enabled)
{
    auto button = addChild("AXButton");
    button->setTitle(title).setFrame(position, size).setEnabled(enabled);
    return button;
}

std::shared_ptr<SimNode> SimNode::addGroup(const std::string& role)
{
    return addChild(role);
}

void SimNode::destroy()
{
    auto self = shared_from_this(); // our parent may hold the last reference
    if (m_parent) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), self), siblings.end());
        m_parent = nullptr;
    }
    m_alive = false;
    // Values may name other nodes (a window names its default button); a dead
    // node keeps none of them, so no cycle can outlive the tree.
    m_attributes.clear();
    m_unlisted.clear();
    auto children = std::exchange(m_children, {});
    for (auto& child : children) {
        child->m_parent = nullptr;
        child->destroy();
    }
}

AccessibleElement SimNode::element()
{
    return AccessibleElement(std::make_shared<SimElementRef>(shared_from_this()));
}

// static
size_t SimNode::liveCount()
{
    return s_liveNodes;
}

} // namespace velmora::sim

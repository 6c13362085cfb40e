#pragma once

#include "platform/AccessibleElement.h"

#include <memory>

namespace velmora::sim {

class SimNode;

// What a simulated element handle holds: the node itself (which a handle keeps
// in memory, alive or dead, as a real reference keeps its element's identity),
// or nothing for the system-wide element. Two refs denote the same element
// when they hold the same node.
class SimElementRef final : public AccessibleElementRef {
public:
    explicit SimElementRef(std::shared_ptr<SimNode> node) : m_node(std::move(node)) { }

    static AccessibleElement systemWide();

    // Null for the system-wide element.
    SimNode* node() const { return m_node.get(); }
    const std::shared_ptr<SimNode>& sharedNode() const { return m_node; }
    bool isSystemWide() const { return !m_node; }

    bool isEqual(const AccessibleElementRef& other) const override;
    size_t hash() const override;

private:
    std::shared_ptr<SimNode> m_node;
};

} // namespace velmora::sim

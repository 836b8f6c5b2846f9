#include "LayeredLayout.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <dlfcn.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerPoint = 20.0;

// Graphviz reports through one global hook; while a drawing runs its
// messages are kept here instead of going to the error stream.
std::string* g_pMessages = nullptr;

int KeepMessage(char* text)
{
    if (g_pMessages && g_pMessages->size() < 4096)
        g_pMessages->append(text);
    return 0;
}

class MessageScope {
public:
    explicit MessageScope(std::string& sink)
        : m_oldLevel(agseterr(AGERR)), m_oldHook(agseterrf(KeepMessage)), m_oldSink(g_pMessages)
    {
        g_pMessages = &sink;
    }
    ~MessageScope()
    {
        g_pMessages = m_oldSink;
        agseterrf(m_oldHook);
        agseterr(m_oldLevel);
    }
    MessageScope(const MessageScope&) = delete;
    MessageScope& operator=(const MessageScope&) = delete;

private:
    agerrlevel_t m_oldLevel;
    agusererrf m_oldHook;
    std::string* m_oldSink;
};

// Graphviz reads numbers in the C locale while it lays out, whatever the
// program's locale; to_chars writes them that way.
std::string Number(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 4);
    return std::string(buffer, result.ptr);
}

// Graphviz's C interface takes writable strings; it copies what it keeps.
Agsym_t* Attribute(Agraph_t* g, int kind, const char* name, const std::string& value)
{
    std::string n(name);
    std::string v(value);
    return agattr(g, kind, n.data(), v.data());
}

void Set(void* object, Agsym_t* symbol, const std::string& value)
{
    std::string v(value);
    agxset(object, symbol, v.data());
}

// Mincross and network-simplex effort for a drawing of n boxes: full effort
// for small drawings, less for large ones, whose crossing reduction would
// otherwise dominate the time (the passes grow faster than the box count).
struct Effort {
    double mclimit = 1.0;
    double nslimit = 0.0; // 0: no limit
};

Effort EffortFor(size_t nodes, size_t edges)
{
    Effort effort;
    const size_t size = nodes + edges;
    if (size > 300) {
        effort.mclimit = std::max(0.1, 300.0 / double(size));
        effort.nslimit = 1.0;
    }
    return effort;
}

// A record with one field per row that lines name, in row order, stacked
// top to bottom (records turn with the layers): what orders the lines is the
// order of the ports. Rows no line names get no field, since Graphviz 2.42
// never frees the little text it copies for each field.
std::string PortLabel(const std::vector<bool>& named)
{
    std::string label;
    for (size_t r = 0; r < named.size(); ++r)
        if (named[r])
            label += (label.empty() ? "<r" : "|<r") + std::to_string(r) + ">";
    return label;
}

// A Graphviz context with the dot layout alone. Graphviz's usual start-up
// loads every installed plugin, among them a text layout that starts
// fontconfig and Pango (and a thread of theirs) to measure labels that the
// boxes here do not have; without it Graphviz estimates text sizes itself.
// Where the plugin cannot be loaded directly, the usual start-up serves.
GVC_t* DotOnlyContext()
{
#ifdef KORVO_GRAPHVIZ_DOT_PLUGIN
    static void* plugin = dlopen(KORVO_GRAPHVIZ_DOT_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    static void* library = plugin ? dlsym(plugin, "gvplugin_dot_layout_LTX_library") : nullptr;
    if (library) {
        static const lt_symlist_t builtins[] = {{"gvplugin_dot_layout_LTX_library", library}, {nullptr, nullptr}};
        return gvContextPlugins(builtins, 0);
    }
#endif
    return gvContext();
}

} // namespace

struct CLayeredLayout::Context {
    GVC_t* gvc = nullptr;
};

CLayeredLayout::CLayeredLayout() : m_context(std::make_unique<Context>())
{
    m_context->gvc = DotOnlyContext();
}

CLayeredLayout::~CLayeredLayout()
{
    if (m_context->gvc)
        gvFreeContext(m_context->gvc);
}

LayeredDrawing CLayeredLayout::Draw(const std::vector<LayeredNode>& nodes, const std::vector<LayeredEdge>& edges,
                                    const LayeredSpacing& spacing)
{
    LayeredDrawing drawing;
    if (!m_context->gvc) {
        drawing.error = "Graphviz could not be started.";
        return drawing;
    }
    if (nodes.empty()) {
        drawing.ok = true;
        return drawing;
    }

    std::string messages;
    MessageScope scope(messages);
    std::string name = "diagram";
    Agraph_t* g = agopen(name.data(), Agdirected, nullptr);
    if (!g) {
        drawing.error = "Graphviz could not create a graph.";
        return drawing;
    }
    const Effort effort = EffortFor(nodes.size(), edges.size());
    Attribute(g, AGRAPH, "rankdir", "LR");
    Attribute(g, AGRAPH, "splines", "none");
    Attribute(g, AGRAPH, "nodesep", Number(spacing.nodeGap / kTwipsPerInch));
    Attribute(g, AGRAPH, "ranksep", Number(spacing.layerGap / kTwipsPerInch));
    Attribute(g, AGRAPH, "mclimit", Number(effort.mclimit));
    if (effort.nslimit > 0) {
        Attribute(g, AGRAPH, "nslimit", Number(effort.nslimit));
        Attribute(g, AGRAPH, "nslimit1", Number(effort.nslimit));
    }
    Attribute(g, AGNODE, "shape", "record");
    Attribute(g, AGNODE, "fixedsize", "true");
    Attribute(g, AGNODE, "fontsize", "1");
    Attribute(g, AGNODE, "margin", "0");
    Agsym_t* label = Attribute(g, AGNODE, "label", "");
    Agsym_t* width = Attribute(g, AGNODE, "width", "1");
    Agsym_t* height = Attribute(g, AGNODE, "height", "1");
    Agsym_t* weight = Attribute(g, AGEDGE, "weight", "1");
    Agsym_t* tailport = Attribute(g, AGEDGE, "tailport", "");
    Agsym_t* headport = Attribute(g, AGEDGE, "headport", "");

    auto valid = [&](const LayeredEdge& edge) {
        return edge.tail >= 0 && edge.head >= 0 && size_t(edge.tail) < nodes.size()
            && size_t(edge.head) < nodes.size() && edge.tail != edge.head;
    };
    auto port = [&](int node, int row) { return row >= 0 && row < nodes[size_t(node)].rows; };
    std::vector<std::vector<bool>> named(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i)
        named[i].assign(size_t(std::max(nodes[i].rows, 0)), false);
    for (const LayeredEdge& edge : edges) {
        if (!valid(edge))
            continue;
        if (port(edge.tail, edge.tailRow))
            named[size_t(edge.tail)][size_t(edge.tailRow)] = true;
        if (port(edge.head, edge.headRow))
            named[size_t(edge.head)][size_t(edge.headRow)] = true;
    }

    std::vector<Agnode_t*> handles(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        std::string nodeName = "n" + std::to_string(i);
        handles[i] = agnode(g, nodeName.data(), 1);
        Set(handles[i], width, Number(std::max(nodes[i].cx, 1) / kTwipsPerInch));
        Set(handles[i], height, Number(std::max(nodes[i].cy, 1) / kTwipsPerInch));
        if (std::find(named[i].begin(), named[i].end(), true) != named[i].end())
            Set(handles[i], label, PortLabel(named[i]));
    }
    for (const LayeredEdge& edge : edges) {
        if (!valid(edge))
            continue;
        Agedge_t* e = agedge(g, handles[size_t(edge.tail)], handles[size_t(edge.head)], nullptr, 1);
        if (edge.weight > 1)
            Set(e, weight, std::to_string(edge.weight));
        if (port(edge.tail, edge.tailRow))
            Set(e, tailport, "r" + std::to_string(edge.tailRow));
        if (port(edge.head, edge.headRow))
            Set(e, headport, "r" + std::to_string(edge.headRow));
    }

    if (gvLayout(m_context->gvc, g, "dot") != 0) {
        drawing.error = "Graphviz could not lay the tables out" + (messages.empty() ? std::string(".") : ": " + messages);
        agclose(g);
        return drawing;
    }

    // Centres in points, y up; boxes keep the sizes asked for.
    std::vector<int64_t> left(nodes.size()), top(nodes.size());
    int64_t minLeft = std::numeric_limits<int64_t>::max();
    int64_t maxTop = std::numeric_limits<int64_t>::min();
    int64_t maxRight = std::numeric_limits<int64_t>::min();
    int64_t minBottom = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < nodes.size(); ++i) {
        const pointf centre = ND_coord(handles[i]);
        left[i] = std::llround(centre.x * kTwipsPerPoint - nodes[i].cx / 2.0);
        top[i] = std::llround(centre.y * kTwipsPerPoint + nodes[i].cy / 2.0);
        minLeft = std::min(minLeft, left[i]);
        maxTop = std::max(maxTop, top[i]);
        maxRight = std::max(maxRight, left[i] + nodes[i].cx);
        minBottom = std::min(minBottom, top[i] - nodes[i].cy);
    }
    gvFreeLayout(m_context->gvc, g);
    agclose(g);

    drawing.x.resize(nodes.size());
    drawing.y.resize(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        drawing.x[i] = left[i] - minLeft;
        drawing.y[i] = top[i] - maxTop;
    }
    drawing.width = maxRight - minLeft;
    drawing.height = maxTop - minBottom;
    drawing.ok = true;
    return drawing;
}

#!/usr/bin/env python3
"""check-includes.py [ROOT]: checks the include graph of the program's folders.

A file may include the headers of its own folder or of a lower layer (core,
then control and platform side by side, then ui, then app); core and control
include no Qt GUI or widget header; the program's units (Pick.h and Pick.cpp
are the unit Pick) include one another in no circle. Quoted includes that
name no header of these folders (generated headers) are ignored; one that
names headers in two places is a fault. tests/, bench/ and tools/ are not
part of the graph. Prints each fault on a line of its own and exits 1, or
prints a one-line summary and exits 0."""
import os
import re
import sys

LAYERS = {"core": 0, "control": 1, "platform": 1, "ui": 2, "app": 3}
NO_GUI = ("core", "control")
GUI_PREFIXES = ("QtWidgets", "QtGui", "QtOpenGL", "QtSvg", "QtPrintSupport")
GUI_CLASSES = {"QWidget", "QApplication", "QGuiApplication", "QPixmap", "QImage", "QColor", "QFont",
               "QFontMetrics", "QPainter", "QIcon", "QPalette", "QScreen", "QWindow", "QClipboard",
               "QKeyEvent", "QMouseEvent", "QAction", "QDialog", "QMainWindow", "QLabel", "QMessageBox"}
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def read_includes(path):
    """(line number, '"' or '<', name) for every #include of the file."""
    found = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            match = INCLUDE.match(line)
            if match:
                found.append((number, match.group(1), match.group(2).strip()))
    return found


def resolve(name, includer, headers):
    """The headers (paths relative to the root) a quoted include can name: the
    includer's own folder first, as the compiler looks, then any header whose
    path ends with the name."""
    own = os.path.normpath(os.path.join(os.path.dirname(includer), name))
    if own in headers:
        return [own]
    name = os.path.normpath(name).lstrip("./")
    return sorted(h for h in headers if h == name or h.endswith("/" + name))


def strong_components(graph):
    """Tarjan's strongly connected components, without recursion."""
    index, low, on_stack, stack, found = {}, {}, set(), [], []
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = len(index)
        stack.append(root)
        on_stack.add(root)
        while work:
            node, edges = work[-1]
            nxt = next(edges, None)
            if nxt is not None:
                if nxt not in index:
                    index[nxt] = low[nxt] = len(index)
                    stack.append(nxt)
                    on_stack.add(nxt)
                    work.append((nxt, iter(sorted(graph[nxt]))))
                elif nxt in on_stack:
                    low[node] = min(low[node], index[nxt])
                continue
            work.pop()
            if work:
                low[work[-1][0]] = min(low[work[-1][0]], low[node])
            if low[node] == index[node]:
                component = []
                while True:
                    member = stack.pop()
                    on_stack.discard(member)
                    component.append(member)
                    if member == node:
                        break
                found.append(sorted(component))
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    files = []
    for layer in LAYERS:
        for folder, _, names in os.walk(os.path.join(root, layer)):
            files += [os.path.relpath(os.path.join(folder, n), root) for n in names if n.endswith((".h", ".cpp"))]
    if not files:
        sys.exit(f"{root}: none of the folders {', '.join(LAYERS)} has a source file")
    files.sort()
    headers = {f for f in files if f.endswith(".h")}
    unit_of = {f: os.path.splitext(f)[0] for f in files}
    graph = {unit: set() for unit in unit_of.values()}
    upward, gui, ambiguous = [], [], []
    for path in files:
        layer = path.split("/")[0]
        for number, kind, name in read_includes(os.path.join(root, path)):
            where = f"{path}:{number}"
            if kind == "<":
                top = name.split("/")[0]
                if layer in NO_GUI and (top.startswith(GUI_PREFIXES) or top in GUI_CLASSES):
                    gui.append(f"GUI header in {layer}: {where} includes <{name}>")
                continue
            targets = resolve(name, path, headers)
            if len(targets) > 1:
                ambiguous.append(f'ambiguous include: {where} "{name}" matches {", ".join(targets)}')
                continue
            if not targets:
                continue
            target = targets[0]
            to = target.split("/")[0]
            if to != layer and LAYERS[to] >= LAYERS[layer]:
                allowed = [l for l in LAYERS if LAYERS[l] < LAYERS[layer]] + [layer]
                upward.append(f"upward include: {where} includes {target} ({layer} may include only "
                              f"{', '.join(allowed)})")
            if unit_of[target] != unit_of[path]:
                graph[unit_of[path]].add(unit_of[target])
    cycles = [c for c in strong_components(graph) if len(c) > 1]
    faults = upward + gui + ambiguous
    for component in cycles:
        faults.append(f"include cycle of {len(component)} units: {', '.join(component)}")
        for unit in component:
            inside = sorted(graph[unit] & set(component))
            faults.append(f"    {unit} includes {', '.join(inside)}")
    summary = (f"include graph: {len(files)} files, {len(cycles)} cycles, {len(upward)} upward includes, "
               f"{len(gui)} GUI headers in {'/'.join(NO_GUI)}, {len(ambiguous)} ambiguous includes")
    for line in faults:
        print(line)
    print(summary)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the two-file drop-in form of the library.

    amalgamate.py [--root DIR] [--out DIR] [--strict]

OUT/xmlParser.h is the public header (C++11); OUT/xmlParser.cpp is every
source file under src/ (found anew on each run, sorted by path), preceded by
the internal headers that they include, each written out once (C++17).  A
project adds the two files to its build and needs nothing else.

All sources share one translation unit in the drop-in, so names that each
file keeps to itself (anonymous namespaces, `static` functions and
variables, constants) would meet there: two files that both define a local
`helper` would collide or, worse, silently become overloads of each other.
Every such clash is reported with both places, and each file's own `helper`
is renamed within that file's part of the drop-in (by a macro that ends with
the part), so the drop-in still builds and each file keeps calling its own;
with --strict a clash is an error and nothing is written.  Macros that a
source file defines end with its part too, so none leaks into the next file.
"""

import argparse
import os
import re
import sys

INCLUDE_RE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
DEFINE_RE = re.compile(r'^\s*#\s*define\s+([A-Za-z_]\w*)')
UNDEF_RE = re.compile(r'^\s*#\s*undef\s+([A-Za-z_]\w*)')
PRAGMA_ONCE_RE = re.compile(r'^\s*#\s*pragma\s+once\b')

KEYWORDS = {
    'alignas', 'alignof', 'auto', 'bool', 'char', 'class', 'const', 'constexpr',
    'decltype', 'double', 'enum', 'explicit', 'extern', 'float', 'friend', 'inline',
    'int', 'long', 'mutable', 'namespace', 'noexcept', 'operator', 'short', 'signed',
    'static', 'static_assert', 'struct', 'template', 'thread_local', 'typedef',
    'typename', 'union', 'unsigned', 'using', 'virtual', 'void', 'volatile',
    'wchar_t', 'return', 'sizeof', 'nullptr', 'true', 'false', 'this',
}


class AmalgamationError(Exception):
    pass


def read(path):
    with open(path, encoding='utf-8') as f:
        return f.read()


def relative(root, path):
    return os.path.relpath(path, root).replace(os.sep, '/')


# ---------------------------------------------------------------------------
# Including
# ---------------------------------------------------------------------------

SYSTEM_INCLUDE_RE = re.compile(r'^\s*#\s*include\s*<[^>]+>')
CONDITIONAL_OPEN_RE = re.compile(r'^\s*#\s*if')
CONDITIONAL_CLOSE_RE = re.compile(r'^\s*#\s*endif\b')


class Inliner:
    """Resolves quoted includes.  The public header is left to the one include
    of the drop-in's header; internal headers are gathered, each once, in the
    order in which the sources first include them (so a header always comes
    after those it includes); system includes outside conditionals are
    gathered at the top, each once."""

    def __init__(self, root, public_dir, search_dirs):
        self.root = root
        self.public_dir = os.path.realpath(public_dir)
        self.search_dirs = search_dirs
        self.done = set()
        self.header_lines = []
        self.system_includes = []

    def resolve(self, name, including_file):
        for base in [os.path.dirname(including_file)] + self.search_dirs:
            candidate = os.path.realpath(os.path.join(base, name))
            if os.path.isfile(candidate):
                return candidate
        raise AmalgamationError('%s: cannot find the included file "%s"'
                                % (relative(self.root, including_file), name))

    def is_public(self, path):
        return os.path.dirname(path) == self.public_dir

    def body(self, path, public_too=False):
        """The lines of `path` without its includes; internal headers that it
        includes are gathered on the way."""
        out = []
        depth = 0
        for line in read(path).splitlines():
            if CONDITIONAL_OPEN_RE.match(line):
                depth += 1
            elif CONDITIONAL_CLOSE_RE.match(line):
                depth -= 1
            m = INCLUDE_RE.match(line)
            if m:
                target = self.resolve(m.group(1), path)
                if self.is_public(target) and not public_too:
                    continue  # the drop-in's source includes its header once
                if target not in self.done:
                    self.done.add(target)
                    lines = self.body(target, public_too)
                    if public_too:
                        out.extend(lines)
                    else:
                        self.header_lines.append('')
                        self.header_lines.append('// ==== %s ====' % relative(self.root, target))
                        self.header_lines.extend(lines)
                continue
            if depth == 0 and SYSTEM_INCLUDE_RE.match(line) and not public_too:
                include = line.strip()
                if include not in self.system_includes:
                    self.system_includes.append(include)
                continue
            if PRAGMA_ONCE_RE.match(line):
                continue
            out.append(line)
        return out


# ---------------------------------------------------------------------------
# Finding the names a source file keeps to itself
# ---------------------------------------------------------------------------

TOKEN_RE = re.compile(r'''
    (?P<ws>[ \t\r\f\v]+) |
    (?P<nl>\n) |
    (?P<comment>//[^\n]*|/\*.*?\*/) |
    (?P<raw>R"(?P<delim>[^(\s]*)\(.*?\)(?P=delim)") |
    (?P<string>(?:u8|u|U|L)?"(?:\\.|[^"\\\n])*") |
    (?P<char>(?:u8|u|U|L)?'(?:\\.|[^'\\\n])*') |
    (?P<ident>[A-Za-z_]\w*) |
    (?P<number>\.?\d(?:[\w.']|[eEpP][+-])*) |
    (?P<punct>::|->|\+\+|--|<<=|>>=|&&|\|\||[-+*/%&|^!=<>]=|.)
''', re.VERBOSE | re.DOTALL)


def tokens(text):
    """(kind, text, line) of each token, without comments, white space and
    preprocessor lines."""
    # Preprocessor lines (with their continuations) become blank lines, so
    # that line numbers stay right.
    lines = text.split('\n')
    i = 0
    while i < len(lines):
        if lines[i].lstrip().startswith('#'):
            while lines[i].endswith('\\') and i + 1 < len(lines):
                lines[i] = ''
                i += 1
            lines[i] = ''
        i += 1
    text = '\n'.join(lines)
    line = 1
    for m in TOKEN_RE.finditer(text):
        kind = m.lastgroup if m.lastgroup != 'delim' else 'raw'
        value = m.group(0)
        if kind == 'nl':
            line += 1
            continue
        if kind in ('ws', 'comment', 'raw', 'string', 'char'):
            if kind in ('raw', 'string', 'char'):
                yield ('string', value, line)
            line += value.count('\n')
            continue
        yield (kind, value, line)


def skip_template_heads(decl):
    """The declaration without its leading `template <...>` groups."""
    while len(decl) >= 2 and decl[0][1] == 'template' and decl[1][1] == '<':
        depth = 0
        for i in range(1, len(decl)):
            if decl[i][1] == '<':
                depth += 1
            elif decl[i][1] == '>':
                depth -= 1
                if depth == 0:
                    decl = decl[i + 1:]
                    break
            elif decl[i][1] == '>>':
                depth -= 2
                if depth <= 0:
                    decl = decl[i + 1:]
                    break
        else:
            return []
    return decl


def declared_name(decl):
    """(name, line) that a namespace-scope declaration introduces, or None
    for one that introduces no new name of its own (qualified definitions,
    using-declarations and -directives)."""
    decl = skip_template_heads(decl)
    words = [t[1] for t in decl]
    if not words:
        return None
    if words[0] == 'using':
        # `using Alias = type;` names an alias; the other forms name nothing.
        if len(decl) >= 3 and decl[1][0] == 'ident' and words[2] == '=':
            return decl[1][1], decl[1][2]
        return None
    if words[0] in ('friend', 'static_assert'):
        return None
    # Elaborated type definitions: struct / class / union / enum [class] Name.
    for i, w in enumerate(words):
        if w in ('struct', 'class', 'union', 'enum'):
            j = i + 1
            if j < len(words) and words[j] in ('class', 'struct'):
                j += 1
            if j < len(decl) and decl[j][0] == 'ident':
                # `struct X* f(...)`: the struct is only named, not defined.
                rest = words[j + 1:]
                if not rest or rest[0] in ('{', ':', ';', 'final'):
                    return decl[j][1], decl[j][2]
            break
    if words[0] == 'typedef':
        for k in range(len(decl) - 1):
            if decl[k][1] == '(' and decl[k + 1][1] == '*' and k + 2 < len(decl):
                return decl[k + 2][1], decl[k + 2][2]
        idents = [t for t in decl if t[0] == 'ident']
        return (idents[-1][1], idents[-1][2]) if idents else None
    # Functions and variables: the name stands before the first "(", "=",
    # "[" or "{" (or the end) at the outermost level of angle brackets.
    depth = 0
    end = len(decl)
    for i, t in enumerate(decl):
        v = t[1]
        if v == '<':
            depth += 1
        elif v == '>' and depth > 0:
            depth -= 1
        elif v == '>>' and depth > 0:
            depth = max(0, depth - 2)
        elif depth == 0 and v in ('(', '=', '[', '{', ',', ':'):
            end = i
            break
    head = decl[:end]
    if not head:
        return None
    if 'operator' in words[:end]:
        k = words.index('operator')
        return 'operator' + ''.join(words[k + 1:end]), decl[k][2]
    last = head[-1]
    if last[0] != 'ident' or last[1] in KEYWORDS:
        return None
    if len(head) >= 2 and head[-2][1] == '::':
        return None  # the definition of something declared elsewhere
    return last[1], last[2]


def is_constant_object(decl, got):
    """Whether a namespace-scope declaration defines a constant object (not
    inline and not extern), which C++ keeps local to its file."""
    words = [t[1] for t in skip_template_heads(decl)]
    if 'inline' in words or 'extern' in words or 'using' in words:
        return False
    name_at = next((i for i, w in enumerate(words) if w == got[0]), None)
    if name_at is None:
        return False
    head = words[:name_at]
    if name_at + 1 < len(words) and words[name_at + 1] == '(':
        return False  # a function
    if 'constexpr' in head:
        return True
    if head and head[-1] == 'const':
        return True  # T* const name
    return bool(head) and head[0] == 'const' and '*' not in head and '&' not in head


def file_local_names(path):
    """{name: line} of what the source file keeps to itself: every name
    declared directly in an anonymous namespace, and `static` or constant
    functions and variables at namespace scope."""
    found = {}
    # The scope stack: 'anon', 'ns' (named namespace, extern "C", the file)
    # or 'other' (a class, function or initializer body).
    stack = ['ns']
    decl = []
    skipping_to_semicolon = False
    pending_kind = None  # kind of the scope the next "{" opens
    other_depth = 0
    closes_function = []  # for each 'other' scope: whether it was a function body
    paren = 0

    def note(d, scope):
        if not d:
            return
        words = [t[1] for t in d]
        if 'extern' in words and scope != 'anon':
            return
        got = declared_name(d)
        if scope == 'ns' and 'static' not in words and not (got and is_constant_object(d, got)):
            return
        if got and got[0] not in found:
            found[got[0]] = got[1]

    for kind, value, line in tokens(read(path)):
        if other_depth:
            if value == '{':
                other_depth += 1
            elif value == '}':
                other_depth -= 1
                if other_depth == 0:
                    was_function = closes_function.pop()
                    skipping_to_semicolon = not was_function
            continue
        if skipping_to_semicolon:
            if value == ';':
                skipping_to_semicolon = False
            elif value == '{':
                other_depth = 1
                closes_function.append(False)
            continue
        if value == '(':
            paren += 1
        elif value == ')':
            paren -= 1
        if paren:
            decl.append((kind, value, line))
            continue
        if value == ';':
            note(decl, stack[-1])
            decl = []
            continue
        if value == '{':
            words = [t[1] for t in decl]
            if words and words[0] == 'namespace':
                stack.append('anon' if len(words) == 1 or words[1:] == ['inline'] else 'ns')
                decl = []
                continue
            if len(words) == 2 and words[0] == 'extern' and decl[1][0] == 'string':
                stack.append('ns')
                decl = []
                continue
            if words and words[0] == 'inline' and len(words) >= 2 and words[1] == 'namespace':
                stack.append('ns')
                decl = []
                continue
            note(decl, stack[-1])
            head = skip_template_heads(decl)
            hw = [t[1] for t in head]
            is_type = any(w in ('struct', 'class', 'union', 'enum') for w in hw[:3])
            is_function = '(' in hw and '=' not in hw and not is_type
            closes_function.append(is_function)
            other_depth = 1
            decl = []
            continue
        if value == '}':
            if len(stack) > 1:
                stack.pop()
            decl = []
            continue
        decl.append((kind, value, line))
    return found


def defined_macros(path):
    """The macros a source file defines and does not undefine again."""
    macros = []
    for line in read(path).splitlines():
        m = DEFINE_RE.match(line)
        if m and m.group(1) not in macros:
            macros.append(m.group(1))
        m = UNDEF_RE.match(line)
        if m and m.group(1) in macros:
            macros.remove(m.group(1))
    return macros


def find_clashes(root, sources):
    """{name: [(path, line), ...]} of each name that two or more source files
    keep to themselves."""
    owners = {}
    for path in sources:
        for name, line in file_local_names(path).items():
            owners.setdefault(name, []).append((path, line))
    return {name: places for name, places in sorted(owners.items()) if len(places) > 1}


def renamed(root, name, path):
    """The name that `name` takes in the part of the drop-in that `path` fills."""
    stem = re.sub(r'\W', '_', os.path.splitext(relative(root, path))[0])
    if stem.startswith('src_'):
        stem = stem[4:]
    return '%s_%s' % (name, stem)


# ---------------------------------------------------------------------------
# Writing
# ---------------------------------------------------------------------------

BANNER = '''\
/*
 * %s - the drop-in form of the xmlparser library: add xmlParser.h and
 * xmlParser.cpp to a project and build them with it (%s).
 * Generated by `make amalgamate` from the library's sources: do not edit;
 * change the sources and generate it again.
 */
'''


def amalgamate(root, out_dir, strict=False):
    include_dir = os.path.join(root, 'include')
    src_dir = os.path.join(root, 'src')
    header = os.path.join(include_dir, 'xmlParser.h')
    sources = sorted(
        (os.path.join(d, f) for d, _, files in os.walk(src_dir) for f in files
         if f.endswith('.cpp')),
        key=lambda p: relative(root, p))
    if not sources:
        raise AmalgamationError('no source files under %s' % relative(root, src_dir))

    clashes = find_clashes(root, sources)
    reports = ['file-local name "%s" is defined in %s' % (
        name, ' and in '.join('%s:%d' % (relative(root, p), n) for p, n in places))
        for name, places in clashes.items()]
    if clashes and strict:
        raise AmalgamationError(
            'these names would clash in the one translation unit of the drop-in; '
            'rename one of each pair:\n  ' + '\n  '.join(reports))
    for report in reports:
        print('amalgamate: note: %s; each is renamed within its own file\'s part of the '
              'drop-in (renaming one in the sources avoids this)' % report, file=sys.stderr)
    renames = {}
    for name, places in clashes.items():
        for path, _ in places:
            renames.setdefault(path, []).append(name)

    header_lines = [BANNER % ('xmlParser.h', 'C++11 or later')]
    header_lines += Inliner(root, include_dir, [include_dir]).body(header, public_too=True)

    inliner = Inliner(root, include_dir, [src_dir, include_dir])
    parts = []
    for path in sources:
        name = relative(root, path)
        part = ['', '// ==== %s ====' % name]
        local = renames.get(path, [])
        if local:
            part.append('// Names this file shares with another, renamed within this part.')
            part.extend('#define %s %s' % (n, renamed(root, n, path)) for n in local)
        part.extend(inliner.body(path))
        macros = [m for m in defined_macros(path) if m not in local] + local
        if macros:
            part.append('// The macros of %s end with it.' % name)
            part.extend('#undef %s' % m for m in macros)
        parts.extend(part)
    source_lines = ([BANNER % ('xmlParser.cpp', 'C++17 or later'), '#include "xmlParser.h"', '']
                    + inliner.system_includes + inliner.header_lines + parts)

    os.makedirs(out_dir, exist_ok=True)
    for name, lines in (('xmlParser.h', header_lines), ('xmlParser.cpp', source_lines)):
        target = os.path.join(out_dir, name)
        with open(target + '.tmp', 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines).rstrip('\n') + '\n')
        os.replace(target + '.tmp', target)
    return len(sources), len(inliner.done), len(clashes)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description='Writes xmlParser.h and xmlParser.cpp, '
                                     'the drop-in form of the library.')
    parser.add_argument('--root', default=os.path.dirname(here),
                        help='the source tree (default: the one holding this script)')
    parser.add_argument('--out', default=None, help='output directory (default: ROOT/dist)')
    parser.add_argument('--strict', action='store_true',
                        help='fail on names that two source files keep local, instead of '
                        'renaming them in the drop-in')
    args = parser.parse_args()
    root = os.path.realpath(args.root)
    out_dir = args.out or os.path.join(root, 'dist')
    try:
        n_sources, n_headers, n_clashes = amalgamate(root, out_dir, args.strict)
    except AmalgamationError as e:
        print('amalgamate: %s' % e, file=sys.stderr)
        return 1
    print('amalgamate: wrote %s/xmlParser.h and %s/xmlParser.cpp (%d source files, '
          'internal headers: %d, names renamed: %d)'
          % (out_dir, out_dir, n_sources, n_headers, n_clashes))
    return 0


if __name__ == '__main__':
    sys.exit(main())

// internal.h - what the library's source files share and callers never see,
// one header per subsystem: the document model (model/node_data.h, and
// model/memory.h and model/walk.h where node memory or the tree walks are
// needed), the settings and character tables (parser/characters.h), the
// parser (parser/parser.h) and the writer's escaping (output/output.h).
#ifndef XMLPARSER_INTERNAL_H
#define XMLPARSER_INTERNAL_H

#include "model/node_data.h"
#include "output/output.h"
#include "parser/characters.h"
#include "parser/parser.h"

#endif  // XMLPARSER_INTERNAL_H

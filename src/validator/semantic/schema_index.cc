#include "validator/semantic/schema_index.h"

namespace quorvane {

SchemaIndex::SchemaIndex(const Schema& schema) : has_property_types_(schema.has_property_types()) {
  nodes_.build(schema.nodes().size(),
               [&](size_t i) -> std::string_view { return schema.nodes()[i].name; });
  rels_.build(schema.relationships().size(),
              [&](size_t i) -> std::string_view { return schema.relationships()[i].name; });
}

}  // namespace quorvane

#pragma once
// One declaration per state variable feeds the struct member, its default value and its entry in
// the name registry. A subsystem lists its variables in an X-macro taking four callbacks:
//   V(type, name, default)        scalar or pointer
//   T(name, capacity, "default")  NUL-terminated text in a char array of `capacity` bytes
//   A(type, name, count)          zero-initialised array, registered element-wise as name[i]
//   L(name, lines, capacity)      array of text lines, registered as name[i]
// and KVR_STATE_STRUCT(Name, LIST) turns the list into a struct with a register_in() member.
#include "core/registry.h"

#define KVR_FIELD_V(type, name, init) type name = init;
#define KVR_FIELD_T(name, cap, init) char name[cap] = init;
#define KVR_FIELD_A(type, name, count) type name[count] = {};
#define KVR_FIELD_L(name, lines, cap) char name[lines][cap] = {};

#define KVR_REG_V(type, name, init) r.add(#name, &name);
#define KVR_REG_T(name, cap, init) r.add_text(#name, name, cap);
#define KVR_REG_A(type, name, count) r.add_array(#name, name, count);
#define KVR_REG_L(name, lines, cap) r.add_lines(#name, &name[0][0], lines, cap);

#define KVR_STATE_STRUCT(Name, LIST)                             \
    struct Name {                                                \
        LIST(KVR_FIELD_V, KVR_FIELD_T, KVR_FIELD_A, KVR_FIELD_L) \
        void register_in([[maybe_unused]] ::kvr::Registry& r) {  \
            LIST(KVR_REG_V, KVR_REG_T, KVR_REG_A, KVR_REG_L)     \
        }                                                        \
    };

#pragma once
// How a batch's lookup ("key = any(...)" or "key in (...)") is planned, on
// either path to PostgreSQL. A table still without statistics (filled in
// this same run, not yet analysed) would have the planner read it whole for
// every part of the batch, and a plan kept from when it was empty would do
// so for every batch: inside the transaction the lookup is planned with
// sequential scans ruled out, so the key's index (where it has one) is read
// whatever the statistics say. Nor is it compiled: a sequential scan ruled
// out costs the planner so much that JIT would compile every lookup of a
// table without an index on its key (tens of milliseconds each). Both are
// local to the transaction and put back to the session's own after the
// lookup.

namespace varlo::db::pq {

inline constexpr const char* kSinRecorrido =
    "select pg_catalog.set_config('enable_seqscan', 'off', true),"
    " pg_catalog.set_config('jit', 'off', true)";
inline constexpr const char* kConRecorrido =
    "select pg_catalog.set_config(name, reset_val, true) from pg_catalog.pg_settings"
    " where name in ('enable_seqscan', 'jit')";

}  // namespace varlo::db::pq

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
// local to the transaction and put back after the lookup to what they were
// before it, kept meanwhile in settings of the program's own: read back from
// the server's list of every setting, that took longer than the lookup.

namespace varlo::db::pq {

// (the values are kept first: a subquery with an offset is never merged)
inline constexpr const char* kSinRecorrido =
    "select pg_catalog.set_config('enable_seqscan', 'off', true),"
    " pg_catalog.set_config('jit', 'off', true)"
    " from (select pg_catalog.set_config('varlodi.enable_seqscan',"
    " pg_catalog.current_setting('enable_seqscan'), true),"
    " pg_catalog.set_config('varlodi.jit', pg_catalog.current_setting('jit'), true)"
    " offset 0) as antes";
inline constexpr const char* kConRecorrido =
    "select pg_catalog.set_config('enable_seqscan',"
    " pg_catalog.current_setting('varlodi.enable_seqscan'), true),"
    " pg_catalog.set_config('jit', pg_catalog.current_setting('varlodi.jit'), true)";

}  // namespace varlo::db::pq

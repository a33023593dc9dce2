// The verbs of tovask-cli, one line each, in the order of the usage text.
// No include guard: read once for the declarations and once for the table.
TOVASK_VERB(New)
TOVASK_VERB(Dump)
TOVASK_VERB(Get)
TOVASK_VERB(Set)
TOVASK_VERB(FromJson)
TOVASK_VERB(Diff)
TOVASK_VERB(Write)
TOVASK_VERB(Read)
TOVASK_VERB(Verify)
TOVASK_VERB(Devices)
TOVASK_VERB(UdevRule)

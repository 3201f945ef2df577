/* The member numbers of the test station, shared by its type library and its IDispatch: the operations
   in the order of Operation from the first. Numbered as a classic automation server numbers its methods,
   so nothing can rely on small sequential numbers. */
#pragma once

#define STATION_DISPID_FIRST_OPERATION 0x60030000

/* For tests only: what the last operation received. */
#define STATION_DISPID_LASTCALL 0x60040000

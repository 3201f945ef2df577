/* The member numbers of the test station, shared by its type library and its IDispatch. Numbered as a
   classic automation server numbers its methods, so nothing can rely on small sequential numbers. */
#pragma once

#define STATION_DISPID_FIRST_OPERATION 0x60030000
#define STATION_DISPID_OPENUSB (STATION_DISPID_FIRST_OPERATION + 0)
#define STATION_DISPID_CLOSEUSB (STATION_DISPID_FIRST_OPERATION + 1)
#define STATION_DISPID_PROBEPROVIDER (STATION_DISPID_FIRST_OPERATION + 2)
#define STATION_DISPID_READBASEBYTE (STATION_DISPID_FIRST_OPERATION + 3)
#define STATION_DISPID_PAIRMODULE (STATION_DISPID_FIRST_OPERATION + 4)
#define STATION_DISPID_DETECTBASE (STATION_DISPID_FIRST_OPERATION + 5)
#define STATION_DISPID_WRITECOMMAND (STATION_DISPID_FIRST_OPERATION + 6)
#define STATION_DISPID_READCOMMAND (STATION_DISPID_FIRST_OPERATION + 7)

/* For tests only: what the last operation received, and how many operation names were looked up. */
#define STATION_DISPID_LASTCALL 0x60040000
#define STATION_DISPID_NAMELOOKUPS 0x60040001

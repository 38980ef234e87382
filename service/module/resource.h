// Resource ids of the service program.
#define IDS_PROJNAME 100


#include "TalpStatus.h"

VxFiltStatus TalpMapStatus(int32_t s) {
    switch (s) {
    case 1: return 1;
    case -1: case 1034: case 1045: case 1050: return -1;
    case 1025: case 1043: return 2025;
    case 1026: case 1042: case 581: return 2026;
    case 1027: case 1028: case 1030: case 1031: case 1032: case 1033: return VxFiltStatus(s + 1000);
    case 1029: case 1044: return 2029;
    case 1035: case 1049: return 2035;
    case 1036: case 1037: case 1038: case 1039: return VxFiltStatus(s + 1000);
    case 1040: case 505: return 2040;
    case 1041: return 2041;
    case 1046: case 1048: return 2043;
    case 141: return 2045;
    case 113: return 2046;
    case 148: return 2047;
    case 145: return 2048;
    case 547: return 2049;
    case 520: return 2050;
    case 541: return 2051;
    case 512: return 2052;
    case 527: return 2053;
    case 1047: case 510: return 2054;
    case 559: return 2055;
    case 561: return 2056;
    case 562: return 2057;
    case 560: return 2058;
    case 570: return 2059;
    case 558: return 2060;
    case 567: return 2061;
    case 579: return 2062;
    case 580: return 2063;
    case 582: return 2069;
    case 583: return 2070;
    case 584: return 2071;
    case 585: return 2072;
    case 586: return 2073;
    default: return VxFiltStatus(s);
    }
}

VxFiltStatus TalpMapCommonStatus(int32_t code) {
    switch (code) {
    case 0: return 1;
    case 1: return -1;
    case 10: return 2075;
    case 11: return 2076;
    case 12: return 2077;
    default: return VxFiltStatus(code);
    }
}

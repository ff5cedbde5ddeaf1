/* How the model texts of the camera line begin: a four-character model code and
 * the two-digit model number ("ZYNM11"); model 9 also answers to the second
 * code. The model table is built from these, and so are the names of the
 * calibration files, which keep the maker prefix and the model number. */
#ifndef LUMORA_VQ_MODEL_NAMES_H
#define LUMORA_VQ_MODEL_NAMES_H

#define VQ_MODEL_CODE        "ZYNM" /* every model */
#define VQ_MODEL_CODE_SECOND "ZYNX" /* the second name of model 9 */
#define VQ_MODEL_CODE_LENGTH 4
#define VQ_MAKER_PREFIX      "ZYN"  /* what both codes begin with */

#endif /* LUMORA_VQ_MODEL_NAMES_H */

/* The network engine: back-propagation and SFAM networks behind two C-callable routines.
 * The network projects hand it normalised arrays and a command; it answers with a code.
 *
 * Arrays (both routines):
 *   patterns  nRows rows of nFields floats, row-contiguous: element (field j, row r) is
 *             patterns[r * nFields + j]. Row 0 carries no data and is never read or written.
 *             Column 0 is the target (a normalised value for back-propagation, a class
 *             number 0..256 for SFAM), columns 1..nFields-1 the normalised inputs.
 *   fieldMin, fieldMax  nFields entries, entry 0 the prediction field.
 *   results   nRows entries. Going in, -1 marks an unusable row; any other value a usable one
 *             (so the output of an earlier run may stay in place). EngineRun writes the
 *             prediction of every usable row and leaves -1 where it was.
 *   netFile   the engine file and the handle of the network: one network is kept in memory
 *             per file name (the exact text), until VTRELEASE or process end.
 *
 * A command that fails changes nothing: not the network, not the file, not the counters. */
#ifndef KORVAN_ENGINE_H
#define KORVAN_ENGINE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Commands. */
#define KV_ENGINE_INIT   0 /* new network from the layout and the usable rows; no training */
#define KV_ENGINE_TRAIN  1 /* one pass over the usable rows in row order; cycles += 1 */
#define KV_ENGINE_RUN    2 /* predictions of the usable rows and the error over them */
#define KV_ENGINE_WRITE  3 /* network to netFile, atomically */
#define KV_ENGINE_READ   4 /* network from netFile, replacing the one in memory */
#define KV_ENGINE_JOG    5 /* back-propagation only: perturb every weight */

/* Results other than counts. */
#define KV_ENGINE_SUCCESS             1
#define KV_ENGINE_ERR_ARGUMENT       -1  /* bad pointer, size, parameter, value or command */
#define KV_ENGINE_ERR_NO_NETWORK     -2  /* no network of this kind for the name (SFAM run:
                                            or one without any category yet) */
#define KV_ENGINE_ERR_TOO_FEW_ROWS   -3  /* fewer than 2 usable rows at Init, none elsewhere */
#define KV_ENGINE_ERR_LAYOUT         -4  /* nFields does not match the network's inputs */
#define KV_ENGINE_ERR_BAD_CLASS      -6  /* SFAM target of a usable row not a class 0..256 */
#define KV_ENGINE_ERR_ZERO_RANGE     -7  /* an input field with fieldMin == fieldMax */
#define KV_ENGINE_ERR_CONSTANT_INPUT -8  /* an input column with one value in every usable row */
#define KV_ENGINE_ERR_NUMERIC        -9  /* a weight or a run's output became non-finite */
#define KV_ENGINE_ERR_FILE_IO       -10  /* the engine file cannot be read or written */
#define KV_ENGINE_ERR_BAD_FILE      -11  /* not an engine file, or a damaged or truncated one */
#define KV_ENGINE_ERR_WRONG_KIND    -12  /* an intact engine file of the other network kind */
#define KV_ENGINE_ERR_CATEGORY_LIMIT -13  /* SFAM: the pass needs more than KV_SFAM_MAX_CATEGORIES
                                            category nodes; the network stays as before it */
#define KV_ENGINE_ERR_NO_MEMORY     -14  /* memory ran out (or a worker thread could not start);
                                            the network stays as it was */

#define KV_ENGINE_UNUSABLE_ROW       -1  /* results entry of a row the engine must skip */
#define KV_SFAM_MAX_CLASS           256  /* class numbers run 0..256 */
#define KV_SFAM_MAX_CATEGORIES    32767  /* fits the 16-bit node count of the callers */
#define KV_BP_MAX_HIDDEN          32767

/* Back-propagation: inputs, one hidden layer of layerJCount logistic units, one logistic
 * output. Init returns 1, Train 1, Run round(10000 x mean absolute error) over the usable
 * rows, Write/Read/Jog 1; negative codes above on failure. */
int32_t VTBACKPROP(const float* patterns, int32_t nFields, int32_t nRows,
                   const float* fieldMin, const float* fieldMax, float* results,
                   int32_t* cyclesCompleted, int16_t layerJCount, int16_t jogMax,
                   float initMax, float learnRate, float momentum,
                   const char* netFile, int16_t command);

/* SFAM (simplified fuzzy ARTMAP). Init returns 1, Train the number of category nodes, Run
 * the number of usable rows whose predicted class differs from the target, Write/Read 1;
 * Jog is not a command of this kind (-1). */
int32_t VTSFAM(const float* patterns, int32_t nFields, int32_t nRows,
               const float* fieldMin, const float* fieldMax, int16_t* results,
               int32_t* cyclesCompleted, float vigBase, float alpha, float beta,
               float epsilon, const char* netFile, int16_t command);

/* Forgets the in-memory network of that name (the file stays). Unknown names are ignored. */
void VTRELEASE(const char* netFile);

#ifdef __cplusplus
}
#endif

#endif /* KORVAN_ENGINE_H */

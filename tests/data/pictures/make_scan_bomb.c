/* Makes scan_bomb.jpg: a valid progressive colour JPEG of 4000 x 4000 pixels with 2,080 scans. One
 * DC scan, then every AC coefficient of every component is sent on its own, first its top bit
 * (Al = 10) and then each lower bit in a refinement scan: 3 x 63 x 11 scans. The picture is one
 * flat colour, so each scan is a few dozen bytes, yet a decoder passes over all its blocks once per
 * scan. cc make_scan_bomb.c -ljpeg -o /tmp/make_scan_bomb && /tmp/make_scan_bomb > scan_bomb.jpg
 */
#include <jpeglib.h>
#include <stdio.h>
#include <stdlib.h>

enum { kSide = 4000, kTopBit = 10 };

int main(void) {
  struct jpeg_compress_struct cinfo;
  struct jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, stdout);
  cinfo.image_width = kSide;
  cinfo.image_height = kSide;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  cinfo.optimize_coding = TRUE;

  const int scan_count = 1 + 3 * 63 * (kTopBit + 1);
  jpeg_scan_info* scans = calloc(scan_count, sizeof *scans);
  int n = 0;
  scans[n].comps_in_scan = 3;
  for (int c = 0; c < 3; ++c) scans[n].component_index[c] = c;
  scans[n].Ss = scans[n].Se = scans[n].Ah = scans[n].Al = 0;
  ++n;
  for (int c = 0; c < 3; ++c) {
    for (int k = 1; k <= 63; ++k) {
      for (int al = kTopBit; al >= 0; --al, ++n) {
        scans[n].comps_in_scan = 1;
        scans[n].component_index[0] = c;
        scans[n].Ss = scans[n].Se = k;
        scans[n].Ah = al == kTopBit ? 0 : al + 1;
        scans[n].Al = al;
      }
    }
  }
  cinfo.scan_info = scans;
  cinfo.num_scans = n;

  jpeg_start_compress(&cinfo, TRUE);
  JSAMPLE* row = malloc(kSide * 3);
  for (int x = 0; x < kSide * 3; ++x) row[x] = 128;
  while (cinfo.next_scanline < cinfo.image_height) jpeg_write_scanlines(&cinfo, &row, 1);
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  free(row);
  free(scans);
  fprintf(stderr, "%d scans\n", n);
  return 0;
}

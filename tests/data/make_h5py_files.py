#!/usr/bin/python3
# Writes the compressed Data Exchange files the tests read, as a beamline's
# h5py writes them: 8 projections of 3 rows x 16 columns of float32,
# sample (view k, row r, column c) = 100 k + 10 r + c / 2, one projection
# per chunk, compressed with LZF (h5py's own filter) or Blosc (its plugin).
# Run it from this folder with Debian's python3-h5py and
# hdf5-filter-plugin-blosc-serial.
import h5py
import numpy

k, r, c = numpy.meshgrid(numpy.arange(8), numpy.arange(3), numpy.arange(16), indexing='ij')
data = (100 * k + 10 * r + c / 2).astype('float32')
for name, options in [('lzf', dict(compression='lzf')),
                      ('blosc', dict(compression=32001, compression_opts=(0, 0, 0, 0, 5, 1, 1)))]:
    with h5py.File('h5py_%s.h5' % name, 'w') as f:
        f.create_dataset('/exchange/data', data=data, chunks=(1, 3, 16), **options)

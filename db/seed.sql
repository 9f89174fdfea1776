/* Specimen types for a first installation: the multiplier turns a maximum
   load in kN into a strength in MPa (kN over the loaded area in cm2 / 10). */
INSERT INTO MULTIPLIER (MULTIPLIER_ID, IME, MULTI) VALUES (1, 'Куб 150 mm', 22.5);
INSERT INTO MULTIPLIER (MULTIPLIER_ID, IME, MULTI) VALUES (2, 'Куб 100 mm', 10);
INSERT INTO MULTIPLIER (MULTIPLIER_ID, IME, MULTI) VALUES (3, 'Цилиндър 150 mm', 17.67);
INSERT INTO MULTIPLIER (MULTIPLIER_ID, IME, MULTI) VALUES (4, 'Резултат в kN', 1);
COMMIT;

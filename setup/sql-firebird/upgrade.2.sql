-- Version 2: the weighted rotation reads the songs of one balance heaviest first.
CREATE DESCENDING INDEX IDX_songlist_balance_weight ON songlist (balance, weight);
COMMENT ON COLUMN category.ID IS '2';
